#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/reference_engine.h"

namespace qv {

// The reference engine of this program. open() loads the whole database into an in-memory
// SQLite database, so the file itself is read once and never written or kept locked:
// - an Access file (Jet 3, Jet 4, ACE), recognised by its header, is read table by table with
//   libmdb;
// - a SQLite file is opened read-only and immutable, checked with SQLite's own quick check and
//   copied row by row.
// A file that fails a check is an open error. An Access table whose rows cannot all be read is
// kept as damaged: it is listed, and a query on it fails with an error that names it.
// Queries in the Access dialect are translated to SQLite with every literal bound as a
// parameter; a column looked up by equality gets an index once it has been looked up a few
// times (a handful of codes is cheaper to find by scans), and translated statements are kept
// prepared with the database, so a task that runs one query shape for many codes is cheap. A closed
// database is kept in memory, with its statements, for as long as its file stays as it was: the
// next open of that file, by this engine or another, takes it instead of reading the file again.
class SqliteReferenceEngine : public ReferenceEngine {
  public:
    SqliteReferenceEngine();
    ~SqliteReferenceEngine() override;
    SqliteReferenceEngine(const SqliteReferenceEngine&) = delete;
    SqliteReferenceEngine& operator=(const SqliteReferenceEngine&) = delete;

    // AppError 3024 (missing), 3051 (unreadable or locked), 3343 (empty, truncated, not a
    // database, damaged, or an Access file libmdb cannot read).
    void open(const std::string& host_path) override;
    // Checks the file as open() does before it reads a table, and reads the tables on the first
    // query (or tables(), library_notes(), save_as_sqlite()), failing there as open() would.
    void open_unread(const std::string& host_path) override;
    void close() override;
    bool is_open() const override;
    // AppError 3075 (outside the dialect), 3078 (unknown table), 3061 (unknown field),
    // 3343 (a damaged table), 3420 (no database open).
    QueryResult query(std::string_view sql) override;
    // Texts of one shape (the same but for their literals) run as one statement over a table of
    // their literals, with the rows and failures each would have alone.
    std::vector<QueryOutcome> query_each(const std::vector<std::string>& texts) override;
    // As query_each() over the composed texts, with each value taken as its text's literal.
    std::vector<QueryOutcome> query_each_value(std::string_view head,
                                               const std::vector<std::string_view>& values,
                                               std::string_view tail) override;

    struct TableRows {
        std::string name;
        std::optional<std::int64_t> rows;  // none for a damaged table
        std::string damage;                // why it is damaged
    };
    // The user tables in the order the database lists them.
    std::vector<TableRows> tables() const;
    // What the Access library reported while reading the file that cost no rows (a damaged
    // property list, for instance); empty for a sound file.
    const std::string& library_notes() const;
    // Writes the loaded tables as a new SQLite file (replacing out_path in one step). Refuses
    // to write over the file that was opened, and to copy a file with a damaged table.
    void save_as_sqlite(const std::string& out_path) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    // The outcomes of TEXTS: a list of texts as query_each() takes them, or of values with the
    // head and tail of their texts.
    template <class Texts>
    std::vector<QueryOutcome> run_each(const Texts& texts);
};

std::unique_ptr<ReferenceEngine> make_reference_engine();

}  // namespace qv
