#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/app_error.h"
#include "platform/reference_engine.h"

namespace qv::test {

// A reference database that answers by exact query text; any other text gives no rows.
class FakeReference : public ReferenceEngine {
  public:
    void open(const std::string& host_path) override {
        if (fail_open)
            throw AppError(3024, "Couldn't find file '" + host_path + "'.");
        ++opens;
        open_ = true;
        opened_paths.push_back(host_path);
    }
    void close() override {
        ++closes;
        open_ = false;
    }
    bool is_open() const override { return open_; }
    QueryResult query(std::string_view sql) override {
        queries.emplace_back(sql);
        auto it = answers.find(std::string(sql));
        if (it != answers.end())
            return it->second;
        QueryResult r;
        r.columns = default_columns;
        return r;
    }

    // Registers one answer with the given columns and one row of values.
    void answer(const std::string& sql, std::vector<std::string> columns,
                std::vector<std::string> row) {
        QueryResult r;
        r.columns = std::move(columns);
        std::vector<std::optional<std::string>> values(row.begin(), row.end());
        r.rows.push_back(std::move(values));
        answers[sql] = r;
    }

    std::map<std::string, QueryResult> answers;
    std::vector<std::string> default_columns;
    std::vector<std::string> queries;
    std::vector<std::string> opened_paths;
    bool fail_open = false;
    int opens = 0;
    int closes = 0;

  private:
    bool open_ = false;
};

}  // namespace qv::test
