// make-refdb: writes the demo reference database (a SQLite file) from its CSV sources.
// Usage: make-refdb OUT.mdb fips-counties.csv equipment-types.csv
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenario/scenario.h"
#include "scenario/state_table.h"

namespace {

using Row = std::vector<std::string>;

// Reads a CSV file with a header line: fields separated by commas, optionally in double quotes
// (a quote inside written twice).
std::vector<Row> read_csv(const std::string& path, const Row& expected_header) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        Row row(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            char c = line[i];
            if (quoted) {
                if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    row.back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    row.back() += c;
                }
            } else if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                row.emplace_back();
            } else {
                row.back() += c;
            }
        }
        if (row.size() != expected_header.size())
            throw std::runtime_error(path + ": line " + std::to_string(rows.size() + 1) + " has " +
                                     std::to_string(row.size()) + " fields");
        rows.push_back(std::move(row));
    }
    if (rows.empty() || rows.front() != expected_header)
        throw std::runtime_error(path + ": unexpected header line");
    rows.erase(rows.begin());
    return rows;
}

class Database {
  public:
    explicit Database(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
            fail("open");
    }
    ~Database() { sqlite3_close(db_); }
    void exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }
    void insert(const std::string& sql, const Row& values) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            fail(sql);
        for (std::size_t i = 0; i < values.size(); ++i)
            sqlite3_bind_text(s, static_cast<int>(i + 1), values[i].c_str(), -1, SQLITE_TRANSIENT);
        int rc = sqlite3_step(s);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            fail(sql);
    }

  private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
    }
    sqlite3* db_ = nullptr;
};

void build(const std::string& out, const std::string& counties_csv,
           const std::string& equipment_csv) {
    auto counties =
        read_csv(counties_csv, {"state", "statefp", "countyfp", "countyname", "classfp"});
    auto equipment = read_csv(equipment_csv, {"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"});
    qv::StateTable states;
    qv::build_state_table(states);

    Database db(out);
    db.exec("PRAGMA journal_mode = DELETE");
    db.exec("BEGIN");
    db.exec("CREATE TABLE Counties (FIPS TEXT NOT NULL, COUNTY TEXT NOT NULL)");
    db.exec(
        "CREATE TABLE [Equipment Types] (SCC TEXT NOT NULL, EQUIP TEXT, CLASSIFICATION TEXT, "
        "[Engine Type] TEXT)");
    const std::string add_county = "INSERT INTO Counties VALUES (?1, ?2)";
    std::set<std::string> states_written;
    auto write_state = [&](const std::string& code) {
        auto state = states.find(code);
        if (!state || !states_written.insert(code).second)
            return;
        db.insert(add_county, {code + "000", "The State of " + state->statename});
    };
    // Each whole-state row stands just before the counties of its state.
    for (const Row& r : counties) {
        write_state(r[1]);
        db.insert(add_county, {r[1] + r[2], r[3]});
    }
    for (const auto& state : states)
        write_state(state->code);
    for (const Row& r : equipment)
        db.insert("INSERT INTO [Equipment Types] VALUES (?1, ?2, ?3, ?4)", r);
    db.exec("COMMIT");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make-refdb OUT fips-counties.csv equipment-types.csv\n";
        return 2;
    }
    // Written beside the target and renamed, so an interrupted build leaves no half database.
    std::filesystem::path out(argv[1]), temp = out;
    temp += ".part";
    try {
        std::filesystem::create_directories(out.parent_path());
        std::filesystem::remove(temp);
        build(temp.string(), argv[2], argv[3]);
        std::filesystem::rename(temp, out);
    } catch (const std::exception& e) {
        std::filesystem::remove(temp);
        std::cerr << "make-refdb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
