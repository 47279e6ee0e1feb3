#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace qv {

// qvopt refdb DBFILE [--tables | "QUERY TEXT" | --to-sqlite OUT]: checks a reference database.
// --tables prints each table with its row count (name, a tab, the count, or "damaged" for a
// table whose rows cannot all be read, which also makes the status 5); a query text prints
// its rows as a JSON array of objects in row order; --to-sqlite writes a SQLite copy. Exactly
// one of the three is expected.
// Exit status: 0 done, 2 usage, 4 the database cannot be opened, 5 the query or the copy failed.
int run_refdb(const std::string& db_path, bool list_tables, const std::optional<std::string>& query,
              const std::optional<std::string>& to_sqlite, std::ostream& out, std::ostream& err);

}  // namespace qv
