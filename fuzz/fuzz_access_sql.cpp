// Runs arbitrary bytes as a query text against a small reference database: the translation of
// the Access dialect, the statement cache and the binding of literals may refuse a text (with
// an AppError) but never crash, hang or throw anything else.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/app_error.h"
#include "platform/reference/access_sql.h"
#include "platform/reference/sqlite_reference_engine.h"

namespace {

// A SQLite reference database with the two tables the program asks, written once.
std::string database() {
    static const std::string path = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "qvfuzz-sql-XXXXXX").string();
        if (!mkdtemp(dir.data()))
            std::abort();
        const std::string file = dir + "/reports.db";
        sqlite3* db = nullptr;
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
            std::abort();
        const char* sql =
            "CREATE TABLE Counties (COUNTY TEXT, FIPS TEXT, AREA REAL);"
            "INSERT INTO Counties VALUES ('Carson City', '32510', 146.0), ('Washoe', '32031', "
            "6302.0), ('The State of Nevada', '32000', 0);"
            "CREATE TABLE [Equipment Types] (SCC TEXT, EQUIP TEXT, CLASSIFICATION TEXT, "
            "[Engine Type] TEXT, HP INTEGER);"
            "INSERT INTO [Equipment Types] VALUES ('2270002003', 'Pavers', 'Construction', "
            "'Diesel', 175), ('2260004020', 'Chain Saws', 'Lawn and Garden', '2-Stroke', 3);";
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
        sqlite3_close(db);
        return file;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qv::SqliteReferenceEngine engine;
    static unsigned runs = 0;
    // The engine keeps a statement per query shape: a fresh start now and then keeps that
    // bounded.
    if (runs++ % 512 == 0) {
        engine.close();
        engine.open(database());
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        qv::reference::query_shape(text);
    } catch (const qv::AppError&) {
    }
    try {
        engine.query(text);
    } catch (const qv::AppError&) {
    }
    return 0;
}
