#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace qv::reference {

// A table whose rows could not all be read: it is listed but must not be queried.
struct DamagedTable {
    std::string name;
    std::string why;
};

struct JetImport {
    std::vector<DamagedTable> damaged;
    // What the library said while reading table definitions that did not cost any rows.
    std::string notes;
};

// Copies every user table of an Access file (Jet 3, Jet 4, ACE) into `db`, one SQLite table per
// Access table with the same table and column names, rows in the file's order. Throws AppError
// 3343 when libmdb cannot read the file, its catalog or a table's definition. Whatever libmdb
// prints while it reads is caught and reported through the result or the error, never shown.
JetImport import_jet_file(const std::string& path, sqlite3* db);

}  // namespace qv::reference
