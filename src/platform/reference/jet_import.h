#pragma once

#include <string>

struct sqlite3;

namespace qv::reference {

// Copies every user table of an Access file (Jet 3, Jet 4, ACE) into `db`, one SQLite table per
// Access table with the same table and column names, rows in the file's order. Throws AppError
// 3343 when libmdb cannot read the file.
void import_jet_file(const std::string& path, sqlite3* db);

}  // namespace qv::reference
