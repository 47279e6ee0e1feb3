#include "cli/refdb_command.h"

#include <nlohmann/json.hpp>

#include "platform/app_error.h"
#include "platform/reference/sqlite_reference_engine.h"
#include "platform/reference/stdio_capture.h"

namespace qv {

namespace {
void report(std::ostream& err, const AppError& e) {
    err << "qvopt refdb: " << e.description() << " (error " << e.number() << ")\n";
}
}  // namespace

int run_refdb(const std::string& db_path, bool list_tables, const std::optional<std::string>& query,
              const std::optional<std::string>& to_sqlite, std::ostream& out, std::ostream& err) {
    int actions = (list_tables ? 1 : 0) + (query ? 1 : 0) + (to_sqlite ? 1 : 0);
    if (actions != 1) {
        err << "qvopt refdb: give exactly one of --tables, a query text or --to-sqlite OUT\n";
        return 2;
    }
    SqliteReferenceEngine engine;
    try {
        engine.open(db_path);
    } catch (const AppError& e) {
        report(err, e);
        return 4;
    }
    if (std::string note = reference::first_line(engine.library_notes()); !note.empty())
        err << "qvopt refdb: the Access library reported: " << note << '\n';
    try {
        if (list_tables) {
            int damaged = 0;
            for (const auto& t : engine.tables()) {
                if (t.rows) {
                    out << t.name << '\t' << *t.rows << '\n';
                } else {
                    out << t.name << "\tdamaged\n";
                    err << "qvopt refdb: the table '" << t.name << "' is damaged (" << t.damage
                        << ")\n";
                    ++damaged;
                }
            }
            if (damaged)
                return 5;
        } else if (query) {
            QueryResult r = engine.query(*query);
            nlohmann::ordered_json rows = nlohmann::ordered_json::array();
            for (const auto& values : r.rows) {
                nlohmann::ordered_json row = nlohmann::ordered_json::object();
                for (std::size_t i = 0; i < r.columns.size(); ++i)
                    row[r.columns[i]] = values[i] ? nlohmann::ordered_json(*values[i]) : nullptr;
                rows.push_back(std::move(row));
            }
            // Text that is not valid UTF-8 is shown with replacement characters, not refused.
            out << rows.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                << '\n';
        } else {
            engine.save_as_sqlite(*to_sqlite);
        }
    } catch (const AppError& e) {
        report(err, e);
        return 5;
    }
    return 0;
}

}  // namespace qv
