#pragma once

#include <exception>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The field names of a query's rows. The results of one batch of look-ups share theirs, so
// that thousands of results hold one list of names; a change to a shared list copies it first.
class ColumnNames {
  public:
    ColumnNames() = default;
    ColumnNames(std::vector<std::string> names)
        : names_(std::make_shared<std::vector<std::string>>(std::move(names))) {}
    ColumnNames(std::initializer_list<std::string> names)
        : ColumnNames(std::vector<std::string>(names)) {}

    const std::vector<std::string>& names() const { return names_ ? *names_ : none(); }
    std::size_t size() const { return names().size(); }
    bool empty() const { return names().empty(); }
    const std::string& operator[](std::size_t i) const { return names()[i]; }
    auto begin() const { return names().begin(); }
    auto end() const { return names().end(); }
    void emplace_back(std::string name) {
        if (!names_ || names_.use_count() > 1)
            names_ = std::make_shared<std::vector<std::string>>(names());
        names_->push_back(std::move(name));
    }
    friend bool operator==(const ColumnNames& a, const ColumnNames& b) {
        return a.names() == b.names();
    }

  private:
    static const std::vector<std::string>& none() {
        static const std::vector<std::string> empty;
        return empty;
    }
    std::shared_ptr<std::vector<std::string>> names_;
};

// Rows of one query, in table order. Values are text; a NULL field is nullopt.
struct QueryResult {
    ColumnNames columns;
    std::vector<std::vector<std::optional<std::string>>> rows;

    bool empty() const { return rows.empty(); }
    // Column index by name without regard to letter case; -1 when there is none.
    int column(std::string_view name) const;
    // The field of a row read by name without regard to case. AppError 3265 when the result has
    // no such field.
    std::optional<std::string> field(std::size_t row, std::string_view name) const;
};

// What one query of a batch gave: its rows, or the exception query() threw for it.
struct QueryOutcome {
    QueryResult rows;
    std::exception_ptr failure;
};

// The reference database. Opened for one task and closed after it. Failures (open, query)
// throw AppError whose number and description the callers show.
class ReferenceEngine {
  public:
    virtual ~ReferenceEngine() = default;
    // host_path: the file as the host names it.
    virtual void open(const std::string& host_path) = 0;
    // As open(), with the same failures for a file that is missing, unreadable or no database by
    // its header, for a task that may not query at all: an engine may read the tables on their
    // first use instead, and fail then for a file damaged inside.
    virtual void open_unread(const std::string& host_path) { open(host_path); }
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    // A query text as the program writes it (Access SQL dialect).
    virtual QueryResult query(std::string_view sql) = 0;
    // Each text as query() would run it, one after the other, with the outcome of each in
    // order. A task that looks up many codes asks them all at once, so that an engine can run
    // the texts that differ only in their literals as one statement.
    virtual std::vector<QueryOutcome> query_each(const std::vector<std::string>& texts);
    // The query HEAD, one value as an Access literal, TAIL (see access_query) for each of
    // VALUES, with the outcome of each in order, as query_each() gives them for those texts.
    // A task that looks up a long list of codes asks this way, so that an engine need neither
    // compose a text per code nor read each one back for its literal.
    virtual std::vector<QueryOutcome> query_each_value(std::string_view head,
                                                       const std::vector<std::string_view>& values,
                                                       std::string_view tail);
};

// A value written into a query text as one Access text literal: in double quotes, each quote
// inside it doubled. Every value that reaches a query text from outside (a code read from an
// options file, a list line) goes through here, so that it reads back as exactly that value and
// can never end the literal early and add conditions of its own. append_access_literal writes it
// at the end of a text being composed.
inline void append_access_literal(std::string& out, std::string_view value) {
    out += '"';
    for (std::size_t from = 0;;) {
        const std::size_t quote = value.find('"', from);
        if (quote == std::string_view::npos) {
            out.append(value.substr(from));
            break;
        }
        out.append(value.substr(from, quote + 1 - from));
        out += '"';
        from = quote + 1;
    }
    out += '"';
}

inline std::string access_literal(std::string_view value) {
    std::string quoted;
    quoted.reserve(value.size() + 2);
    append_access_literal(quoted, value);
    return quoted;
}

// HEAD, VALUE as an Access literal and TAIL, composed in one buffer: a query asked for every
// code of a long list.
inline std::string access_query(std::string_view head, std::string_view value,
                                std::string_view tail) {
    std::string text;
    text.reserve(head.size() + value.size() + 2 + tail.size());
    text.append(head);
    append_access_literal(text, value);
    text.append(tail);
    return text;
}

}  // namespace qv
