#include "platform/reference/jet_import.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/app_error.h"
#include "platform/opened_library.h"
#include "platform/reference/access_sql.h"
#include "platform/reference/stdio_capture.h"

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

// libmdb, opened on the first Access file rather than at program start: the reference
// databases are SQLite files more often than not.
struct Mdb {
    decltype(&::mdb_bind_column_by_name) bind_column_by_name;
    decltype(&::mdb_bind_column) bind_column;
    decltype(&::mdb_close) close;
    decltype(&::mdb_fetch_row) fetch_row;
    decltype(&::mdb_free_tabledef) free_tabledef;
    decltype(&::mdb_is_system_table) is_system_table;
    decltype(&::mdb_ole_read_full) ole_read_full;
    decltype(&::mdb_open) open;
    decltype(&::mdb_read_columns) read_columns;
    decltype(&::mdb_read_table) read_table;
    decltype(&::mdb_rewind_table) rewind_table;
    decltype(&::mdb_set_bind_size) set_bind_size;
    decltype(&::mdb_set_boolean_fmt_numbers) set_boolean_fmt_numbers;
    decltype(&::mdb_set_date_fmt) set_date_fmt;
};

// nullptr when libmdb cannot be loaded.
const Mdb* loaded_libmdb() {
    static OpenedLibrary library(QV_LIBMDB_SONAME);
    static const Mdb functions = [] {
        Mdb f{};
        library.find(f.bind_column_by_name, "mdb_bind_column_by_name");
        library.find(f.bind_column, "mdb_bind_column");
        library.find(f.close, "mdb_close");
        library.find(f.fetch_row, "mdb_fetch_row");
        library.find(f.free_tabledef, "mdb_free_tabledef");
        library.find(f.is_system_table, "mdb_is_system_table");
        library.find(f.ole_read_full, "mdb_ole_read_full");
        library.find(f.open, "mdb_open");
        library.find(f.read_columns, "mdb_read_columns");
        library.find(f.read_table, "mdb_read_table");
        library.find(f.rewind_table, "mdb_rewind_table");
        library.find(f.set_bind_size, "mdb_set_bind_size");
        library.find(f.set_boolean_fmt_numbers, "mdb_set_boolean_fmt_numbers");
        library.find(f.set_date_fmt, "mdb_set_date_fmt");
        return f;
    }();
    return library.failure().empty() ? &functions : nullptr;
}

// Its functions, once import_jet_file has found them all there.
const Mdb& libmdb() {
    return *loaded_libmdb();
}

struct MdbCloser {
    void operator()(MdbHandle* h) const { libmdb().close(h); }
};
struct TableCloser {
    void operator()(MdbTableDef* t) const { libmdb().free_tabledef(t); }
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

// The first thing the library said since the last look, or `otherwise` when it said nothing.
std::string said(StdioCapture& capture, const std::string& otherwise) {
    std::string line = first_line(capture.take());
    return line.empty() ? otherwise : line;
}

// Notes are kept for someone looking into a file, not for every byte of a hex dump.
void keep_note(std::string& notes, const std::string& text) {
    constexpr std::size_t most = 4096;
    if (notes.size() < most)
        notes += text.substr(0, most - notes.size());
}

// The catalog, read here rather than by libmdb: libmdb also decodes every table's property
// list, which this program never uses and on which it can loop for ever when the list is
// damaged. The catalog is itself a table, and holding the number of rows read against the
// number its definition records shows whether any entry (and so a whole table) was skipped.
std::vector<MdbCatalogEntry> read_catalog(MdbHandle* mdb, const std::string& path,
                                          StdioCapture& capture) {
    MdbCatalogEntry objects{};
    objects.mdb = mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    std::unique_ptr<MdbTableDef, TableCloser> table(libmdb().read_table(&objects));
    if (!table || !libmdb().read_columns(table.get()) || libmdb().rewind_table(table.get()) != 0)
        throw unreadable(path, "catalog: " + said(capture, "cannot be read"));
    const char* names[] = {"Id", "Name", "Type", "Flags"};
    std::vector<std::vector<char>> fields(4, std::vector<char>(bind_size + 1));
    for (int i = 0; i < 4; ++i)
        if (libmdb().bind_column_by_name(table.get(), const_cast<char*>(names[i]), fields[i].data(),
                                         nullptr) < 0)
            throw unreadable(path, std::string("catalog without a field ") + names[i]);

    std::vector<MdbCatalogEntry> tables;
    unsigned rows = 0;
    // No field of one entry may stand in for a missing field of the next.
    auto clear = [&] {
        for (auto& f : fields)
            f[0] = '\0';
        return true;
    };
    while (clear() && libmdb().fetch_row(table.get())) {
        ++rows;
        // The same reading of the fields as libmdb's own catalog.
        int type = static_cast<int>(std::strtol(fields[2].data(), nullptr, 10)) & 0x7F;
        if (type != MDB_TABLE)
            continue;
        MdbCatalogEntry entry{};
        entry.mdb = mdb;
        entry.object_type = type;
        entry.table_pg =
            static_cast<unsigned long>(std::strtol(fields[0].data(), nullptr, 10)) & 0x00FFFFFF;
        entry.flags = static_cast<int>(std::strtol(fields[3].data(), nullptr, 10));
        std::snprintf(entry.object_name, sizeof entry.object_name, "%s", fields[1].data());
        if (!libmdb().is_system_table(&entry))
            tables.push_back(entry);
    }
    std::string line = first_line(capture.take());
    if (rows != table->num_rows || !line.empty())
        throw unreadable(
            path, "catalog damaged: " +
                      (line.empty() ? std::to_string(rows) + " of " +
                                          std::to_string(table->num_rows) + " entries can be read"
                                    : line));
    return tables;
}

// Copies one table. Returns why its rows are not complete, or nothing when they are: the
// library either stops early or skips a page or row with a warning, and its definition records
// how many rows there should be.
std::optional<std::string> copy_table(MdbHandle* mdb, MdbCatalogEntry* entry, sqlite3* db,
                                      const std::string& path, StdioCapture& capture,
                                      std::string& notes) {
    const std::string name = entry->object_name;
    std::unique_ptr<MdbTableDef, TableCloser> table(libmdb().read_table(entry));
    if (!table)
        throw unreadable(path, "table " + name + ": " + said(capture, "no definition"));
    if (!libmdb().read_columns(table.get()))
        throw unreadable(path, "columns of " + name + ": " + said(capture, "cannot be read"));
    if (libmdb().rewind_table(table.get()) != 0)
        throw unreadable(path, "rows of " + name + ": " + said(capture, "cannot be read"));
    keep_note(notes, capture.take());

    unsigned n = table->num_cols;
    std::vector<MdbColumn*> cols(n);
    std::vector<std::vector<char>> buffers(n, std::vector<char>(bind_size + 1));
    std::vector<int> lengths(n);
    std::string create = "CREATE TABLE " + quote_identifier(name) + " (";
    std::string insert = "INSERT INTO " + quote_identifier(name) + " VALUES (";
    for (unsigned i = 0; i < n; ++i) {
        cols[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        create += (i ? ", " : "") + quote_identifier(cols[i]->name) + " " +
                  sqlite_type(cols[i]->col_type);
        insert += i ? ", ?" : "?";
        libmdb().bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
    }
    exec(db, create + ")");

    sqlite3_stmt* stmt = nullptr;
    insert += ")";
    if (sqlite3_prepare_v2(db, insert.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw AppError(3000,
                       std::string("Reference database failure: ") + sqlite3_errmsg(db) + ".");
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
    unsigned rows = 0;
    while (libmdb().fetch_row(table.get())) {
        ++rows;
        for (unsigned i = 0; i < n; ++i) {
            int at = static_cast<int>(i + 1);
            int type = cols[i]->col_type;
            // libmdb reports a NULL field, and also an empty text, as length 0.
            if (type == MDB_BOOL) {
                // Access stores True as -1.
                sqlite3_bind_int(stmt, at, buffers[i][0] == '1' ? -1 : 0);
            } else if (type == MDB_OLE) {
                std::size_t size = 0;
                void* data = lengths[i] ? libmdb().ole_read_full(mdb, cols[i], &size) : nullptr;
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
    std::string line = first_line(capture.take());
    if (rows == table->num_rows && line.empty())
        return std::nullopt;
    // Part of a table is no answer at all: its rows go, the table stays listed as damaged.
    exec(db, "DELETE FROM " + quote_identifier(name));
    std::string why =
        std::to_string(rows) + " of " + std::to_string(table->num_rows) + " rows can be read";
    return line.empty() ? why : why + "; " + line;
}

}  // namespace

JetImport import_jet_file(const std::string& path, sqlite3* db) {
    std::optional<StdioCapture> capture;
    try {
        capture.emplace();
    } catch (const std::system_error& e) {
        throw AppError(3000, std::string("Reference database failure: ") + e.what() + ".");
    }
    if (!loaded_libmdb())
        throw unreadable(path, "libmdb cannot be loaded");
    // Declared after the capture, so that whatever libmdb prints while it closes is caught too.
    std::unique_ptr<MdbHandle, MdbCloser> mdb(libmdb().open(path.c_str(), MDB_NOFLAGS));
    if (!mdb)
        throw unreadable(path, said(*capture, "libmdb cannot read it"));
    libmdb().set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    libmdb().set_boolean_fmt_numbers(mdb.get());
    libmdb().set_bind_size(mdb.get(), bind_size);
    std::vector<MdbCatalogEntry> tables = read_catalog(mdb.get(), path, *capture);

    JetImport result;
    exec(db, "BEGIN");
    try {
        for (MdbCatalogEntry& entry : tables)
            if (auto why = copy_table(mdb.get(), &entry, db, path, *capture, result.notes))
                result.damaged.push_back({entry.object_name, *why});
        exec(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return result;
}

}  // namespace qv::reference
