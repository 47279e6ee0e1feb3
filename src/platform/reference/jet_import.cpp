#include "platform/reference/jet_import.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <memory>
#include <vector>

#include "platform/app_error.h"
#include "platform/reference/access_sql.h"

namespace qv::reference {

namespace {

// Memo fields longer than this are cut; the reference tables hold short texts.
constexpr std::size_t bind_size = 65536;

const char* sqlite_type(int mdb_type) {
    switch (mdb_type) {
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
            return "INTEGER";
        case MDB_MONEY:
        case MDB_NUMERIC:
            return "NUMERIC";
        case MDB_FLOAT:
        case MDB_DOUBLE:
            return "REAL";
        case MDB_BINARY:
        case MDB_OLE:
            return "BLOB";
        default:
            return "TEXT";
    }
}

struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableCloser {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

AppError unreadable(const std::string& path, const std::string& why) {
    return AppError(err::db_unrecognised,
                    "Unrecognized database format '" + path + "' (" + why + ").");
}

void exec(sqlite3* db, const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        std::string text = msg ? msg : "unknown failure";
        sqlite3_free(msg);
        throw AppError(3000, "Reference database failure: " + text + ".");
    }
}

void copy_table(MdbHandle* mdb, MdbCatalogEntry* entry, sqlite3* db, const std::string& path) {
    std::unique_ptr<MdbTableDef, TableCloser> table(mdb_read_table(entry));
    if (!table)
        throw unreadable(path, std::string("table ") + entry->object_name);
    if (!mdb_read_columns(table.get()))
        throw unreadable(path, std::string("columns of ") + entry->object_name);
    if (mdb_rewind_table(table.get()) != 0)
        throw unreadable(path, std::string("rows of ") + entry->object_name);

    unsigned n = table->num_cols;
    std::vector<MdbColumn*> cols(n);
    std::vector<std::vector<char>> buffers(n, std::vector<char>(bind_size + 1));
    std::vector<int> lengths(n);
    std::string create = "CREATE TABLE " + quote_identifier(entry->object_name) + " (";
    std::string insert = "INSERT INTO " + quote_identifier(entry->object_name) + " VALUES (";
    for (unsigned i = 0; i < n; ++i) {
        cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        create += (i ? ", " : "") + quote_identifier(cols[i]->name) + " " +
                  sqlite_type(cols[i]->col_type);
        insert += i ? ", ?" : "?";
        mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
    }
    exec(db, create + ")");

    sqlite3_stmt* stmt = nullptr;
    insert += ")";
    if (sqlite3_prepare_v2(db, insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw AppError(3000,
                       std::string("Reference database failure: ") + sqlite3_errmsg(db) + ".");
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
    while (mdb_fetch_row(table.get())) {
        for (unsigned i = 0; i < n; ++i) {
            int at = static_cast<int>(i + 1);
            int type = cols[i]->col_type;
            // libmdb reports a NULL field, and also an empty text, as length 0.
            if (type == MDB_BOOL) {
                // Access stores True as -1.
                sqlite3_bind_int(stmt, at, buffers[i][0] == '1' ? -1 : 0);
            } else if (type == MDB_OLE) {
                std::size_t size = 0;
                void* data = lengths[i] ? mdb_ole_read_full(mdb, cols[i], &size) : nullptr;
                if (data) {
                    sqlite3_bind_blob64(stmt, at, data, size, SQLITE_TRANSIENT);
                    free(data);
                } else {
                    sqlite3_bind_null(stmt, at);
                }
            } else if (lengths[i] == 0) {
                sqlite3_bind_null(stmt, at);
            } else {
                std::size_t len = static_cast<std::size_t>(lengths[i]);
                if (len > bind_size)
                    len = bind_size;
                sqlite3_bind_text(stmt, at, buffers[i].data(), static_cast<int>(len),
                                  SQLITE_TRANSIENT);
            }
        }
        if (sqlite3_step(stmt) != SQLITE_DONE)
            throw AppError(3000,
                           std::string("Reference database failure: ") + sqlite3_errmsg(db) + ".");
        sqlite3_reset(stmt);
    }
}

}  // namespace

void import_jet_file(const std::string& path, sqlite3* db) {
    std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb)
        throw unreadable(path, "libmdb cannot read it");
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_boolean_fmt_numbers(mdb.get());
    mdb_set_bind_size(mdb.get(), bind_size);
    if (!mdb_read_catalog(mdb.get(), MDB_TABLE))
        throw unreadable(path, "no catalog");

    exec(db, "BEGIN");
    try {
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry))
                continue;
            copy_table(mdb.get(), entry, db, path);
        }
        exec(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace qv::reference
