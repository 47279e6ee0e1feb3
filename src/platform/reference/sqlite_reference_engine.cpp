#include "platform/reference/sqlite_reference_engine.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <unordered_map>

#include "platform/app_error.h"
#include "platform/reference/access_sql.h"
#include "platform/reference/access_text.h"
#include "platform/reference/jet_import.h"
#include "platform/reference/loaded_copies.h"
#include "platform/reference/stdio_capture.h"

namespace qv {

using reference::TableInfo;

namespace {

AppError not_found(const std::string& path) {
    return AppError(err::db_not_found, "Couldn't find file '" + path + "'.");
}
AppError unrecognised(const std::string& path) {
    return AppError(err::db_unrecognised, "Unrecognized database format '" + path + "'.");
}
AppError cannot_open(const std::string& path) {
    return AppError(err::db_locked, "The engine cannot open the file '" + path +
                                        "'. It is locked by another user, or you need permission "
                                        "to read it.");
}

enum class Format { jet, sqlite };

// Reads the header and decides the format from the content alone.
Format recognise(const std::string& path) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        throw not_found(path);
    if (!std::filesystem::is_regular_file(status))
        throw unrecognised(path);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw cannot_open(path);
    std::array<unsigned char, 100> h{};
    in.read(reinterpret_cast<char*>(h.data()), h.size());
    std::size_t got = static_cast<std::size_t>(in.gcount());
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        throw cannot_open(path);

    auto starts = [&](std::size_t at, std::string_view text) {
        return got >= at + text.size() &&
               std::equal(text.begin(), text.end(), h.begin() + static_cast<long>(at));
    };
    if (starts(0, std::string_view("SQLite format 3\0", 16))) {
        // The header names the page size and, when bytes 24..27 equal 92..95, the page count:
        // a file shorter than that lost its end.
        std::uint32_t page = (h[16] << 8) | h[17];
        if (page == 1)
            page = 65536;
        auto be32 = [&](std::size_t at) {
            return (std::uint32_t(h[at]) << 24) | (std::uint32_t(h[at + 1]) << 16) |
                   (std::uint32_t(h[at + 2]) << 8) | h[at + 3];
        };
        if (got < 100 || page < 512 || (page & (page - 1)) != 0 || size % page != 0)
            throw unrecognised(path);
        if (be32(24) == be32(92) && size < std::uintmax_t(page) * be32(28))
            throw unrecognised(path);
        return Format::sqlite;
    }
    if (got >= 0x15 && h[0] == 0 && h[1] == 1 && h[2] == 0 && h[3] == 0 &&
        (starts(4, std::string_view("Standard Jet DB\0", 16)) ||
         starts(4, std::string_view("Standard ACE DB\0", 16)))) {
        std::uintmax_t page = h[0x14] == 0 ? 2048 : 4096;  // Jet 3 pages are 2 KiB
        if (size < 3 * page || size % page != 0)
            throw unrecognised(path);
        return Format::jet;
    }
    throw unrecognised(path);
}

void compare_destroy(void*) {}

int access_collate(void*, int la, const void* a, int lb, const void* b) {
    return reference::compare_folded(
        std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
        std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

void delete_pattern(void* p) {
    delete static_cast<reference::LikePattern*>(p);
}

std::string_view value_text(sqlite3_value* v) {
    const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_value_bytes(v)))
             : std::string_view();
}

// access_like(pattern, value): 1 or 0, NULL when either is NULL. The compiled pattern is kept
// with the statement while the pattern argument stays the same.
void access_like(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto* pattern = static_cast<reference::LikePattern*>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<reference::LikePattern> compiled;
    if (!pattern) {
        try {
            compiled = std::make_unique<reference::LikePattern>(value_text(argv[0]));
        } catch (const std::exception& e) {
            sqlite3_result_error(ctx, (std::string("Invalid pattern string: ") + e.what()).c_str(),
                                 -1);
            return;
        }
        pattern = compiled.get();
    }
    int match = pattern->matches(value_text(argv[1])) ? 1 : 0;
    if (compiled)
        sqlite3_set_auxdata(ctx, 0, compiled.release(), delete_pattern);
    sqlite3_result_int(ctx, match);
}

void register_access_rules(sqlite3* db) {
    sqlite3_create_collation_v2(db, reference::access_collation, SQLITE_UTF8, nullptr,
                                access_collate, compare_destroy);
    sqlite3_create_function_v2(db, reference::access_like_function, 2,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, access_like, nullptr,
                               nullptr, nullptr);
}

// The text of a field of the current row, valid until the statement moves on.
std::string_view column_view(sqlite3_stmt* s, int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? std::string_view(reinterpret_cast<const char*>(t),
                                static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
             : std::string_view();
}

std::string column_text(sqlite3_stmt* s, int i) {
    return std::string(column_view(s, i));
}

// The file as a SQLite URI, so that it can be opened with query parameters: every byte outside
// the unreserved set is percent-encoded, and an absolute path gets an empty authority.
std::string file_uri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = path.starts_with('/') ? "file://" : "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("-._~/", c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

// The column type that gives a copied column the affinity of the original, so that every
// value keeps its storage class and compares as it did there.
const char* affinity_of(std::string declared) {
    for (char& c : declared)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&](const char* part) { return declared.find(part) != std::string::npos; };
    if (has("INT"))
        return "INTEGER";
    if (has("CHAR") || has("CLOB") || has("TEXT"))
        return "TEXT";
    if (has("BLOB") || declared.empty())
        return "BLOB";
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return "REAL";
    return "NUMERIC";
}

// A file as it stands: a database loaded from it stands for it while the file is the same inode
// with the same size and times.
struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtime_ns = 0, ctime_ns = 0;
    bool operator==(const Identity&) const = default;
};

// The identity as the kept copies of loaded databases name it, with the format read.
std::string stamp_of(const Identity& id, bool jet) {
    return std::to_string(id.dev) + ' ' + std::to_string(id.ino) + ' ' + std::to_string(id.size) +
           ' ' + std::to_string(id.mtime_ns) + ' ' + std::to_string(id.ctime_ns) +
           (jet ? " jet" : " sqlite");
}

std::optional<Identity> identity_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return Identity{st.st_dev, st.st_ino, st.st_size, ns(st.st_mtim), ns(st.st_ctim)};
}

// A literal as a batch holds it: its text stays where the batch keeps it or where the caller
// gave it.
struct LiteralView {
    bool is_number = false;
    std::string_view text;
};

// A literal bound as the translation typed it: a whole number, another number, or text.
void bind_literal(sqlite3_stmt* stmt, int at, LiteralView p) {
    std::int64_t whole = 0;
    auto [end, ec] = std::from_chars(p.text.data(), p.text.data() + p.text.size(), whole);
    if (p.is_number && ec == std::errc() && end == p.text.data() + p.text.size())
        sqlite3_bind_int64(stmt, at, whole);
    else if (p.is_number)
        sqlite3_bind_double(stmt, at, std::stod(std::string(p.text)));
    else
        sqlite3_bind_text(stmt, at, p.text.data(), static_cast<int>(p.text.size()),
                          SQLITE_TRANSIENT);
}

void bind_literal(sqlite3_stmt* stmt, int at, const reference::Literal& p) {
    bind_literal(stmt, at, LiteralView{p.is_number, p.text});
}

// Appends the fields of the statement's current row from column `from` on to OUT; NULL is
// nullopt.
void append_row(sqlite3_stmt* stmt, int from, int n, std::vector<std::optional<std::string>>& out) {
    for (int i = from; i < n; ++i) {
        if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
            out.emplace_back(std::nullopt);
        else
            out.emplace_back(column_text(stmt, i));
    }
}

std::vector<std::optional<std::string>> row_of(sqlite3_stmt* stmt, int from, int n) {
    std::vector<std::optional<std::string>> row;
    row.reserve(static_cast<std::size_t>(n - from));
    append_row(stmt, from, n, row);
    return row;
}

// The literals of the texts of a batch, one text after the other in one vector, so that a
// batch of thousands of codes holds no vector per code. A literal read from a text is kept
// here; a value the caller gave as it is (add_given) is only pointed to, and must outlive the
// batch.
class BatchLiterals {
  public:
    BatchLiterals() { starts_.push_back(0); }
    void reserve(std::size_t texts) {
        all_.reserve(texts);
        starts_.reserve(texts + 1);
    }
    void add(std::vector<reference::Literal>&& literals) {
        for (reference::Literal& l : literals)
            all_.push_back({l.is_number, kept_.emplace_back(std::move(l.text))});
        starts_.push_back(all_.size());
    }
    void add(std::string&& text) { add_given(kept_.emplace_back(std::move(text))); }
    void add_given(std::string_view text) {
        all_.push_back({false, text});
        starts_.push_back(all_.size());
    }
    std::size_t size() const { return starts_.size() - 1; }
    // The literals of text j of the batch.
    std::span<const LiteralView> operator[](std::size_t j) const {
        return {all_.data() + starts_[j], starts_[j + 1] - starts_[j]};
    }

  private:
    std::vector<LiteralView> all_;
    std::vector<std::size_t> starts_;
    // Never moves what it holds: the views point into it.
    std::deque<std::string> kept_;
};

}  // namespace

struct SqliteReferenceEngine::Impl {
    using Row = std::vector<std::optional<std::string>>;
    sqlite3* db = nullptr;
    std::string path;
    std::vector<TableInfo> tables;
    std::vector<reference::DamagedTable> damaged;
    std::string notes;
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    // The selected fields of a table's rows, found by the folded value of one field. Kept flat
    // (a table of thousands of rows is read whole for one batch): the fields of row r are
    // fields[r * width, (r + 1) * width), and keys holds each row's folded value with r, sorted,
    // so that the rows of one value come in table order. slots is an open-addressed index of
    // the values: one past the position in keys of a value's first entry, 0 for a free slot.
    struct Folded {
        using Key = std::pair<std::string, std::size_t>;
        std::size_t width = 0;
        std::vector<std::optional<std::string>> fields;
        std::vector<Key> keys;
        std::vector<std::size_t> slots;

        void index() {
            std::size_t size = 2;
            while (size < 2 * keys.size())
                size <<= 1;
            slots.assign(size, 0);
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if (i > 0 && keys[i].first == keys[i - 1].first)
                    continue;
                std::size_t at = std::hash<std::string>{}(keys[i].first) & (size - 1);
                while (slots[at] != 0)
                    at = (at + 1) & (size - 1);
                slots[at] = i + 1;
            }
        }
        // The entries of keys that hold `key`.
        std::pair<const Key*, const Key*> find(const std::string& key) const {
            const std::size_t mask = slots.size() - 1;
            for (std::size_t at = std::hash<std::string>{}(key)&mask; slots[at] != 0;
                 at = (at + 1) & mask) {
                const Key* first = &keys[slots[at] - 1];
                if (first->first != key)
                    continue;
                const Key* last = first;
                const Key* end = keys.data() + keys.size();
                while (last != end && last->first == key)
                    ++last;
                return {first, last};
            }
            return {nullptr, nullptr};
        }
    };
    // Query shapes already translated: the statement (owned by statements) and its table; once
    // a batch of the shape has run, its statements too: the one that empties the batch table,
    // the one that fills it and the query over it.
    struct Shape {
        sqlite3_stmt* stmt;
        std::string table;
        std::vector<std::string> lookup_columns;
        sqlite3_stmt* clear = nullptr;
        sqlite3_stmt* fill = nullptr;
        sqlite3_stmt* batch = nullptr;
        // The batch keeps duplicate rows of a text that drops them: a text given more than one
        // row runs again alone.
        bool distinct = false;
        bool unbatchable = false;
        // A shape whose only condition is a field equal to a text (see TranslatedQuery): the
        // field, the query that reads it and the selected fields of every row, and whether
        // the field holds texts, so that a batch finds its rows by the field's folded values;
        // once read, the selected fields of the rows by that value with letter case folded
        // (folded_key), in table order.
        std::string equality_column;
        std::string scan_sql;
        std::optional<bool> by_fold;
        std::optional<Folded> folded;
        ColumnNames folded_columns;
    };
    std::unordered_map<std::string, Shape> shapes;
    std::set<std::pair<std::string, std::string>> indexed;
    // Look-ups by equality run so far on each column that has no index yet.
    std::map<std::pair<std::string, std::string>, std::size_t> lookups;
    // The file as it was when it was read; kept says whether it did not change meanwhile, so
    // that the loaded database may stand for it.
    Identity id;
    bool keepable = false;
    // Opened by open_unread() and not read yet: the file and its format.
    std::string unread;
    Format unread_format = Format::sqlite;

    ~Impl() { reset(); }

    // Databases closed by their engines, each with what was prepared on it, all of one file as
    // it stood: the next open of that file by any engine of the process takes one instead of
    // reading the file again, so a command reads it once however often it opens it, and a
    // campaign's workers once each.
    class Kept {
      public:
        std::unique_ptr<Impl> take(const std::string& file, const Identity& now) {
            std::lock_guard lock(mutex_);
            for (auto it = kept_.rbegin(); it != kept_.rend(); ++it)
                if ((*it)->path == file && (*it)->id == now) {
                    std::unique_ptr<Impl> found = std::move(*it);
                    kept_.erase(std::next(it).base());
                    return found;
                }
            return nullptr;
        }
        // A database of another file, or of the file as it stood before, replaces them all.
        void give(std::unique_ptr<Impl> loaded) {
            std::lock_guard lock(mutex_);
            if (!kept_.empty() &&
                (kept_.front()->path != loaded->path || !(kept_.front()->id == loaded->id)))
                kept_.clear();
            kept_.push_back(std::move(loaded));
        }

      private:
        std::mutex mutex_;
        std::vector<std::unique_ptr<Impl>> kept_;
    };
    // Never destroyed: an engine that lives until the program ends (a static one, made before
    // the first database was kept) still hands its database over at exit.
    static Kept& kept() {
        static Kept& databases = *new Kept;
        return databases;
    }

    void swap_loaded(Impl& other) noexcept {
        std::swap(db, other.db);
        path.swap(other.path);
        tables.swap(other.tables);
        damaged.swap(other.damaged);
        notes.swap(other.notes);
        statements.swap(other.statements);
        shapes.swap(other.shapes);
        indexed.swap(other.indexed);
        lookups.swap(other.lookups);
        std::swap(id, other.id);
        std::swap(keepable, other.keepable);
    }

    // Closes the database, handing it to the kept ones when it still may stand for its file.
    void release() {
        if (db && keepable) {
            auto loaded = std::make_unique<Impl>();
            loaded->swap_loaded(*this);
            kept().give(std::move(loaded));
        }
        reset();
    }

    void load(const std::string& host_path, Format format);
    void load_unread() {
        if (unread.empty())
            return;
        const std::string file = std::move(unread);
        unread.clear();
        load(file, unread_format);
    }

    void reset() {
        for (auto& [text, stmt] : statements)
            sqlite3_finalize(stmt);
        statements.clear();
        shapes.clear();
        indexed.clear();
        lookups.clear();
        keepable = false;
        tables.clear();
        damaged.clear();
        notes.clear();
        if (db)
            sqlite3_close_v2(db);
        db = nullptr;
        path.clear();
        unread.clear();
    }

    void exec(const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            std::string text = msg ? msg : "unknown failure";
            sqlite3_free(msg);
            throw AppError(3000, "Reference database failure: " + text + ".");
        }
    }

    void load_catalog() {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                           "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            tables.push_back({column_text(s, 0), {}});
        sqlite3_finalize(s);
        sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1) ORDER BY cid", -1, &s,
                           nullptr);
        for (TableInfo& t : tables) {
            sqlite3_bind_text(s, 1, t.name.c_str(), static_cast<int>(t.name.size()),
                              SQLITE_TRANSIENT);
            while (sqlite3_step(s) == SQLITE_ROW)
                t.columns.push_back(column_text(s, 0));
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
    }

    const reference::DamagedTable* damage_of(const std::string& table) const {
        for (const auto& d : damaged)
            if (d.name == table)
                return &d;
        return nullptr;
    }

    AppError damaged_table(const reference::DamagedTable& d) const {
        return AppError(err::db_unrecognised,
                        "The table '" + d.name + "' of '" + path + "' is damaged (" + d.why + ").");
    }

    const TableInfo* find_table(std::string_view name) const {
        for (const TableInfo& t : tables)
            if (t.name.size() == name.size() && reference::compare_folded(t.name, name) == 0)
                return &t;
        return nullptr;
    }

    // A column gets its index once this many look-ups have run on it: building the index
    // costs about as much as that many scans of its table, so a task that looks up only a few
    // codes (the states of a region, a short source list) never pays for it.
    static constexpr std::size_t scans_before_index = 16;

    bool all_indexed(const std::string& table, const std::vector<std::string>& columns) const {
        for (const std::string& c : columns)
            if (!indexed.count({table, c}))
                return false;
        return true;
    }

    // Counts `count` look-ups on each column, indexing those that reached scans_before_index.
    // A statement prepared before the index is prepared again by SQLite on its next run, and
    // then uses it; the rows are the same either way.
    void note_lookups(const std::string& table, const std::vector<std::string>& columns,
                      std::size_t count) {
        for (const std::string& c : columns) {
            if (indexed.count({table, c}))
                continue;
            std::size_t& done = lookups[{table, c}];
            done += count;
            if (done >= scans_before_index) {
                lookups.erase({table, c});
                ensure_index(table, c);
            }
        }
    }

    void ensure_index(const std::string& table, const std::string& column) {
        if (!indexed.insert({table, column}).second)
            return;
        exec("CREATE INDEX " +
             reference::quote_identifier("qv_lookup_" + std::to_string(indexed.size())) + " ON " +
             reference::quote_identifier(table) + " (" + reference::quote_identifier(column) +
             " COLLATE " + reference::access_collation + ")");
    }

    sqlite3_stmt* prepared(const std::string& sql) {
        sqlite3_stmt*& stmt = statements[sql];
        if (!stmt && sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt,
                                        nullptr) != SQLITE_OK) {
            std::string msg = sqlite3_errmsg(db);
            statements.erase(sql);
            throw AppError(err::db_syntax, "Cannot prepare '" + sql + "': " + msg + ".");
        }
        return stmt;
    }

    // Prepares the batch statements of the shape that `text` has.
    void prepare_batch(std::string_view text, Shape& shape) {
        const auto lookup = [this](std::string_view n) { return find_table(n); };
        reference::TranslatedQuery tq = reference::translate_access_batch(text, lookup);
        // Codes mostly find one row each, and one row has no duplicate: the batch leaves out
        // the test for an earlier equal row, which costs a second look-up per row found.
        if (tq.distinct) {
            tq = reference::translate_access_batch(text, lookup, true);
            shape.distinct = true;
        }
        const std::size_t n = tq.parameters.size();
        const std::string table = reference::quote_identifier(reference::batch_table(n));
        std::string create = "CREATE TEMP TABLE IF NOT EXISTS " + table + " (" +
                             reference::quote_identifier(reference::batch_position) +
                             " INTEGER PRIMARY KEY";
        std::string fill = "INSERT INTO temp." + table + " VALUES (?1";
        for (std::size_t k = 1; k <= n; ++k) {
            create += ", " + reference::quote_identifier(reference::batch_literal(k));
            fill += ", ?" + std::to_string(k + 1);
        }
        exec(create + ")");
        shape.clear = prepared("DELETE FROM temp." + table);
        shape.fill = prepared(fill + ")");
        shape.batch = prepared(tq.sql);
    }

    // Whether each text of a batch has one literal, a text: what a look-up by folded values
    // takes.
    static bool each_one_text(const BatchLiterals& literals) {
        for (std::size_t j = 0; j < literals.size(); ++j)
            if (literals[j].size() != 1 || literals[j][0].is_number)
                return false;
        return true;
    }

    // Gives members[j] the rows found for it, with the batch's field names, except a member of
    // a shape that drops duplicate rows found more than one row, which is put in `again` to
    // run alone.
    static void hand_out(const Shape& shape, const std::vector<std::size_t>& members,
                         const ColumnNames& columns, std::vector<QueryResult>& results,
                         std::vector<QueryOutcome>& outcomes, std::vector<std::size_t>& again) {
        for (std::size_t j = 0; j < members.size(); ++j) {
            if (shape.distinct && results[j].rows.size() > 1) {
                again.push_back(members[j]);
                continue;
            }
            results[j].columns = columns;
            outcomes[members[j]].rows = std::move(results[j]);
        }
    }

    // Runs the query of one shape, translated from `text`, for each list of literals at once:
    // the outcome of members[j] is the rows the query gives with literals[j], except for the
    // members put in `again`, which are to run alone. False, with no outcome written, where
    // the batch cannot run; the queries then run one by one.
    bool run_batch(std::string_view text, Shape& shape, const BatchLiterals& literals,
                   const std::vector<std::size_t>& members, std::vector<QueryOutcome>& outcomes,
                   std::vector<std::size_t>& again) {
        if (shape.unbatchable || damage_of(shape.table))
            return false;
        std::vector<QueryResult> results(members.size());
        try {
            if (!shape.batch) {
                shape.unbatchable = true;
                prepare_batch(text, shape);
                shape.unbatchable = false;
            }
            const int arity = sqlite3_bind_parameter_count(shape.fill) - 1;
            exec("BEGIN");
            bool done = sqlite3_step(shape.clear) == SQLITE_DONE;
            sqlite3_reset(shape.clear);
            for (std::size_t j = 0; done && j < members.size(); ++j) {
                if (literals[j].size() != static_cast<std::size_t>(arity))
                    done = false;
                sqlite3_bind_int64(shape.fill, 1, static_cast<std::int64_t>(j));
                for (int k = 0; done && k < arity; ++k)
                    bind_literal(shape.fill, k + 2, literals[j][static_cast<std::size_t>(k)]);
                done = done && sqlite3_step(shape.fill) == SQLITE_DONE;
                sqlite3_reset(shape.fill);
                sqlite3_clear_bindings(shape.fill);
            }
            if (!done) {
                exec("ROLLBACK");
                return false;
            }
            exec("COMMIT");
            sqlite3_stmt* stmt = shape.batch;
            const int n = sqlite3_column_count(stmt);
            std::vector<std::string> names;
            for (int i = 1; i < n; ++i)
                names.emplace_back(sqlite3_column_name(stmt, i));
            const ColumnNames columns(std::move(names));
            int rc;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                const auto j = static_cast<std::size_t>(sqlite3_column_int64(stmt, 0));
                if (j >= results.size())
                    break;
                results[j].rows.push_back(row_of(stmt, 1, n));
            }
            sqlite3_reset(stmt);
            if (rc != SQLITE_DONE)
                return false;
            hand_out(shape, members, columns, results, outcomes, again);
            return true;
        } catch (const std::exception&) {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }

    // Whether a batch of the shape can find its rows by folded values: the shape compares one
    // column of text affinity with a text, so a row matches exactly when its value is a text
    // equal to the literal without regard to case.
    bool folds(Shape& shape) {
        if (!shape.by_fold) {
            shape.by_fold = false;
            if (!shape.equality_column.empty() && !damage_of(shape.table)) {
                sqlite3_stmt* s = nullptr;
                try {
                    s = prepared("SELECT type FROM pragma_table_info(?1) WHERE name = ?2");
                } catch (const AppError&) {
                    // The batch then runs as SQL, which says what is wrong.
                    return false;
                }
                sqlite3_bind_text(s, 1, shape.table.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 2, shape.equality_column.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(s) == SQLITE_ROW)
                    shape.by_fold = std::string_view(affinity_of(column_text(s, 0))) == "TEXT";
                sqlite3_reset(s);
                sqlite3_clear_bindings(s);
            }
        }
        return *shape.by_fold;
    }

    // Reads the rows of a shape that folds, once.
    void read_folded(Shape& shape) {
        if (shape.folded)
            return;
        // Sized once: vectors of a table's size that grow by doubling touch twice the memory.
        std::size_t total = 0;
        sqlite3_stmt* count =
            prepared("SELECT count(*) FROM main." + reference::quote_identifier(shape.table));
        if (sqlite3_step(count) == SQLITE_ROW)
            total = static_cast<std::size_t>(sqlite3_column_int64(count, 0));
        sqlite3_reset(count);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, shape.scan_sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            sqlite3_finalize(s);
            throw AppError(err::db_syntax, "Cannot prepare '" + shape.scan_sql + "'.");
        }
        const int n = sqlite3_column_count(s);
        Folded rows;
        rows.width = static_cast<std::size_t>(n - 1);
        rows.keys.reserve(total);
        rows.fields.reserve(total * rows.width);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            if (sqlite3_column_type(s, 0) != SQLITE_TEXT)
                continue;
            rows.keys.emplace_back(reference::folded_key(column_view(s, 0)), rows.keys.size());
            append_row(s, 1, n, rows.fields);
        }
        std::vector<std::string> columns;
        for (int i = 1; i < n; ++i)
            columns.emplace_back(sqlite3_column_name(s, i));
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            throw AppError(err::db_unrecognised, "Cannot read the table '" + shape.table + "'.");
        // A table of codes mostly lists them in order already.
        if (!std::is_sorted(rows.keys.begin(), rows.keys.end()))
            std::sort(rows.keys.begin(), rows.keys.end());
        rows.index();
        shape.folded = std::move(rows);
        shape.folded_columns = std::move(columns);
    }

    // A batch of a shape that folds (see folds()): each text's rows are those whose value has
    // the text's folded key, in table order. False, with nothing written, where it cannot run.
    bool run_folded(Shape& shape, const BatchLiterals& literals,
                    const std::vector<std::size_t>& members, std::vector<QueryOutcome>& outcomes,
                    std::vector<std::size_t>& again) {
        if (!each_one_text(literals))
            return false;
        try {
            read_folded(shape);
        } catch (const std::exception&) {
            return false;
        }
        for (std::size_t j = 0; j < members.size(); ++j) {
            QueryResult& result = outcomes[members[j]].rows;
            result.columns = shape.folded_columns;
            const Folded& f = *shape.folded;
            const std::string key = reference::folded_key(literals[j][0].text);
            const auto [first, last] = f.find(key);
            if (shape.distinct && last - first > 1) {
                again.push_back(members[j]);
                continue;
            }
            result.rows.reserve(static_cast<std::size_t>(last - first));
            for (auto at = first; at != last; ++at) {
                const auto from =
                    f.fields.begin() + static_cast<std::ptrdiff_t>(at->second * f.width);
                result.rows.emplace_back(from, from + static_cast<std::ptrdiff_t>(f.width));
            }
        }
        return true;
    }

    // A few texts of a shape that folds (see folds()), before its rows are read by value: one
    // scan of the table finds the rows of them all, where a look-up each would scan it once per
    // text; the rows are those run_folded() would give. False, with nothing written, where it
    // cannot run.
    bool run_scanned(Shape& shape, const BatchLiterals& literals,
                     const std::vector<std::size_t>& members, std::vector<QueryOutcome>& outcomes,
                     std::vector<std::size_t>& again) {
        if (!each_one_text(literals))
            return false;
        std::vector<std::string> keys;
        keys.reserve(members.size());
        for (std::size_t j = 0; j < literals.size(); ++j)
            keys.push_back(reference::folded_key(literals[j][0].text));
        sqlite3_stmt* s = nullptr;
        try {
            s = prepared(shape.scan_sql);
        } catch (const AppError&) {
            return false;
        }
        const int n = sqlite3_column_count(s);
        std::vector<QueryResult> results(members.size());
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            if (sqlite3_column_type(s, 0) != SQLITE_TEXT)
                continue;
            const std::string key = reference::folded_key(column_view(s, 0));
            for (std::size_t j = 0; j < keys.size(); ++j)
                if (keys[j] == key)
                    results[j].rows.push_back(row_of(s, 1, n));
        }
        std::vector<std::string> names;
        for (int i = 1; i < n; ++i)
            names.emplace_back(sqlite3_column_name(s, i));
        sqlite3_reset(s);
        if (rc != SQLITE_DONE)
            return false;
        hand_out(shape, members, ColumnNames(std::move(names)), results, outcomes, again);
        return true;
    }

    // A query translated (or of a shape translated before) and prepared, with the literals to
    // bind to it; run() binds them and reads its rows.
    struct Prepared {
        sqlite3_stmt* stmt;
        std::vector<reference::Literal> parameters;
    };
    Prepared prepare(std::string_view sql);
    QueryResult run(const Prepared& query, std::string_view sql);

    // Takes the database loaded from FILE as it stood at STAMP by an earlier command, when
    // one is kept; false, with the database as it was, when none is or it cannot be read.
    bool take_copy(const std::string& file, const std::string& stamp) {
        const std::optional<std::string> image = reference::take_loaded_copy(file, stamp);
        if (!image || image->empty())
            return false;
        auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(image->size()));
        if (!bytes)
            return false;
        std::memcpy(bytes, image->data(), image->size());
        const auto n = static_cast<sqlite3_int64>(image->size());
        // On failure SQLite frees the bytes itself.
        return sqlite3_deserialize(
                   db, "main", bytes, n, n,
                   SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) == SQLITE_OK;
    }
    void keep_copy(const std::string& file, const std::string& stamp) {
        sqlite3_int64 n = 0;
        unsigned char* image = sqlite3_serialize(db, "main", &n, 0);
        if (!image)
            return;
        reference::keep_loaded_copy(
            file, stamp, {reinterpret_cast<const char*>(image), static_cast<std::size_t>(n)});
        sqlite3_free(image);
    }

    // A failure of SQLite while reading the file, as the open error that fits it.
    AppError read_failure(const std::string& file, int code, const std::string& message) const {
        int primary = code & 0xFF;
        if (primary == SQLITE_CANTOPEN || primary == SQLITE_PERM || primary == SQLITE_AUTH)
            return cannot_open(file);
        return AppError(err::db_unrecognised,
                        "Unrecognized database format '" + file + "' (" + message + ").");
    }

    // Rows of a statement on the attached file; every failure is an open error.
    std::vector<std::vector<std::string>> rows_of(const std::string& file, const std::string& sql,
                                                  const std::string& bind = {}) {
        sqlite3_stmt* s = nullptr;
        std::vector<std::vector<std::string>> rows;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        if (rc == SQLITE_OK) {
            if (!bind.empty())
                sqlite3_bind_text(s, 1, bind.c_str(), -1, SQLITE_TRANSIENT);
            while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
                rows.emplace_back();
                for (int i = 0; i < sqlite3_column_count(s); ++i)
                    rows.back().push_back(column_text(s, i));
            }
        }
        sqlite3_finalize(s);
        if (rc != SQLITE_OK && rc != SQLITE_DONE)
            throw read_failure(file, sqlite3_extended_errcode(db), sqlite3_errmsg(db));
        return rows;
    }

    // Copies a SQLite file table by table, row by row. The file is opened read-only and
    // immutable, so nothing is ever written to it and its header cannot turn the copy
    // read-only; SQLite's own check runs first, and reading every row of every table catches
    // what the check does not, so a damaged file is an open error instead of short tables.
    void copy_sqlite_file(const std::string& file) {
        exec_or_fail(file, "ATTACH DATABASE ?1 AS source", file_uri(file) + "?mode=ro&immutable=1");
        try {
            auto check = rows_of(file, "PRAGMA source.quick_check(1)");
            if (check.empty() || check[0].empty() || check[0][0] != "ok") {
                std::string text = check.empty() || check[0].empty() ? "" : check[0][0];
                // The first line only names the schema checked.
                if (text.starts_with("*** in database"))
                    text.erase(0, text.find('\n') == std::string::npos ? text.size()
                                                                       : text.find('\n') + 1);
                throw AppError(err::db_unrecognised, "Unrecognized database format '" + file +
                                                         "' (" + reference::first_line(text) +
                                                         ").");
            }
            auto names = rows_of(file,
                                 "SELECT name FROM source.sqlite_master WHERE type = 'table' AND "
                                 "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
            exec("BEGIN");
            for (const auto& row : names) {
                const std::string& name = row[0];
                auto columns = rows_of(
                    file, "SELECT name, type FROM pragma_table_info(?1, 'source') ORDER BY cid",
                    name);
                std::string create =
                    "CREATE TABLE main." + reference::quote_identifier(name) + " (";
                std::string select = "SELECT ";
                for (std::size_t i = 0; i < columns.size(); ++i) {
                    std::string col = reference::quote_identifier(columns[i][0]);
                    create += (i ? ", " : "") + col + " " + affinity_of(columns[i][1]);
                    select += (i ? ", " : "") + col;
                }
                exec(create + ")");
                exec_or_fail(file, "INSERT INTO main." + reference::quote_identifier(name) + " " +
                                       select + " FROM source." +
                                       reference::quote_identifier(name));
            }
            exec("COMMIT");
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_exec(db, "DETACH DATABASE source", nullptr, nullptr, nullptr);
            throw;
        }
        exec_or_fail(file, "DETACH DATABASE source");
    }

    void exec_or_fail(const std::string& file, const std::string& sql,
                      const std::string& bind = {}) {
        rows_of(file, sql, bind);
    }
};

SqliteReferenceEngine::SqliteReferenceEngine() : impl_(std::make_unique<Impl>()) {}
SqliteReferenceEngine::~SqliteReferenceEngine() {
    impl_->release();
}

void SqliteReferenceEngine::open(const std::string& host_path) {
    impl_->release();
    impl_->load(host_path, recognise(host_path));
}

void SqliteReferenceEngine::open_unread(const std::string& host_path) {
    impl_->release();
    impl_->unread_format = recognise(host_path);
    impl_->unread = host_path;
}

void SqliteReferenceEngine::Impl::load(const std::string& host_path, Format format) {
    release();
    const auto now = identity_of(host_path);
    if (now)
        if (std::unique_ptr<Impl> loaded = kept().take(host_path, *now)) {
            swap_loaded(*loaded);
            return;
        }
    // URI names let the copy attach the file read-only and immutable. An engine is used by one
    // thread at a time, so the connection needs no mutex of its own.
    if (sqlite3_open_v2(
            ":memory:", &db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
            nullptr) != SQLITE_OK) {
        reset();
        throw AppError(7, "Out of memory");
    }
    register_access_rules(db);
    try {
        // The batch tables of the look-ups stay in memory with the rest.
        exec("PRAGMA temp_store = MEMORY");
        const std::string stamp = now ? stamp_of(*now, format == Format::jet) : std::string();
        const bool taken = now && take_copy(host_path, stamp);
        if (taken) {
            // Loaded from this file as it stands by an earlier command.
        } else if (format == Format::jet) {
            reference::JetImport imported = reference::import_jet_file(host_path, db);
            damaged = std::move(imported.damaged);
            notes = std::move(imported.notes);
        } else {
            copy_sqlite_file(host_path);
        }
        load_catalog();
        // A file with no tables at all is no reference database; for an Access file this is
        // also what a catalog cut short by truncation looks like.
        if (tables.empty())
            throw unrecognised(host_path);
        // Kept, in this process and for the next command, only when the file did not change
        // while it was read; for the next command also only when it was read whole.
        keepable = now && identity_of(host_path) == now;
        if (keepable && !taken && damaged.empty() && notes.empty())
            keep_copy(host_path, stamp);
    } catch (...) {
        reset();
        throw;
    }
    path = host_path;
    if (keepable)
        id = *now;
}

void SqliteReferenceEngine::close() {
    impl_->release();
}

bool SqliteReferenceEngine::is_open() const {
    return impl_->db != nullptr || !impl_->unread.empty();
}

SqliteReferenceEngine::Impl::Prepared SqliteReferenceEngine::Impl::prepare(std::string_view sql) {
    load_unread();
    if (!db)
        throw AppError(3420, "Object invalid or no longer set.");
    // The program runs one query shape for many codes: only the first of a shape is translated
    // and prepared, the others bind their own literals to the same statement.
    reference::QueryShape shape = reference::query_shape(sql);
    if (auto known = shape.reusable ? shapes.find(shape.key) : shapes.end();
        known != shapes.end()) {
        if (const auto* d = damage_of(known->second.table))
            throw damaged_table(*d);
        note_lookups(known->second.table, known->second.lookup_columns, 1);
        return {known->second.stmt, std::move(shape.literals)};
    }
    reference::TranslatedQuery tq = reference::translate_access_query(
        sql, [this](std::string_view n) { return find_table(n); });
    if (const auto* d = damage_of(tq.table))
        throw damaged_table(*d);
    note_lookups(tq.table, tq.lookup_columns, 1);

    sqlite3_stmt*& prepared = statements[tq.sql];
    if (!prepared && sqlite3_prepare_v2(db, tq.sql.c_str(), static_cast<int>(tq.sql.size()),
                                        &prepared, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        statements.erase(tq.sql);
        throw AppError(err::db_syntax, "Cannot run query '" + std::string(sql) + "': " + msg + ".");
    }
    // Kept only when the translation bound exactly the shape's literals in their order.
    if (shape.reusable && tq.parameters == shape.literals)
        shapes.emplace(std::move(shape.key), Shape{.stmt = prepared,
                                                   .table = tq.table,
                                                   .lookup_columns = tq.lookup_columns,
                                                   .distinct = tq.distinct,
                                                   .equality_column = tq.equality_column,
                                                   .scan_sql = tq.scan_sql,
                                                   .by_fold = std::nullopt,
                                                   .folded = std::nullopt,
                                                   .folded_columns = {}});
    return {prepared, std::move(tq.parameters)};
}

QueryResult SqliteReferenceEngine::Impl::run(const Prepared& query, std::string_view sql) {
    sqlite3_stmt* stmt = query.stmt;
    for (std::size_t i = 0; i < query.parameters.size(); ++i)
        bind_literal(stmt, static_cast<int>(i + 1), query.parameters[i]);
    QueryResult result;
    int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i)
        result.columns.emplace_back(sqlite3_column_name(stmt, i));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        result.rows.push_back(row_of(stmt, 0, n));
    std::string failure = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!failure.empty())
        throw AppError(err::db_syntax,
                       "Cannot run query '" + std::string(sql) + "': " + failure + ".");
    return result;
}

QueryResult SqliteReferenceEngine::query(std::string_view sql) {
    return impl_->run(impl_->prepare(sql), sql);
}

namespace {

// Texts of a batch as query_each() takes them. add_if_as_first(i, span, literals) adds the
// literal of text i when the text is the first's with another literal at `span`.
struct TextList {
    const std::vector<std::string>& texts;
    std::size_t size() const { return texts.size(); }
    const std::string& text(std::size_t i) const { return texts[i]; }
    const std::string& first_text() const { return texts[0]; }
    bool add_if_as_first(std::size_t i, const reference::LiteralSpan& span,
                         BatchLiterals& literals) const {
        auto same = reference::same_shape_but_literal(texts[i], texts[0], span);
        if (same)
            literals.add(std::move(*same));
        return same.has_value();
    }
};

// Values looked up by one query, each written as a literal between the same head and tail.
// Where the first text's one literal is the first value's, every other text is the same with
// its own value there, which is then its literal as written: no text is composed for it.
struct ValueList {
    std::string_view head;
    const std::vector<std::string_view>& values;
    std::string_view tail;
    std::string first = access_query(head, values.empty() ? "" : values[0], tail);
    std::size_t size() const { return values.size(); }
    std::string text(std::size_t i) const {
        return i == 0 ? first : access_query(head, values[i], tail);
    }
    const std::string& first_text() const { return first; }
    bool add_if_as_first(std::size_t i, const reference::LiteralSpan& span,
                         BatchLiterals& literals) const {
        if (span.begin == head.size() && span.end == first.size() - tail.size()) {
            literals.add_given(values[i]);
            return true;
        }
        auto same = reference::same_shape_but_literal(text(i), first, span);
        if (same)
            literals.add(std::move(*same));
        return same.has_value();
    }
};

}  // namespace

std::vector<QueryOutcome> SqliteReferenceEngine::query_each(const std::vector<std::string>& texts) {
    return run_each(TextList{texts});
}

std::vector<QueryOutcome> SqliteReferenceEngine::query_each_value(
    std::string_view head, const std::vector<std::string_view>& values, std::string_view tail) {
    return run_each(ValueList{head, values, tail});
}

template <class Texts>
std::vector<QueryOutcome> SqliteReferenceEngine::run_each(const Texts& texts) {
    std::vector<QueryOutcome> outcomes(texts.size());
    if (texts.size() == 0)
        return outcomes;
    // The first text opens a file opened unread and translates its shape, failing as it would
    // alone; the others of that shape run as one batch after it.
    std::optional<Impl::Prepared> first_query;
    try {
        first_query = impl_->prepare(texts.first_text());
    } catch (...) {
        outcomes[0].failure = std::current_exception();
    }
    const auto one = [&](std::size_t i) {
        try {
            if (i == 0 && first_query) {
                const Impl::Prepared first = std::move(*first_query);
                first_query.reset();
                outcomes[0].rows = impl_->run(first, texts.first_text());
            } else {
                outcomes[i].rows = query(texts.text(i));
            }
        } catch (...) {
            outcomes[i].failure = std::current_exception();
        }
    };
    Impl::Shape* shape = nullptr;
    std::string key;
    std::vector<reference::Literal> first_literals;
    if (!outcomes[0].failure) {
        reference::QueryShape first = reference::query_shape(texts.first_text());
        if (auto known = first.reusable ? impl_->shapes.find(first.key) : impl_->shapes.end();
            known != impl_->shapes.end()) {
            shape = &known->second;
            key = std::move(first.key);
            first_literals = std::move(first.literals);
        }
    }
    // Texts written as the first is, with another code in its one literal, are known to be of
    // its shape without reading their tokens.
    const std::optional<reference::LiteralSpan> span =
        shape ? reference::sole_text_literal(texts.first_text()) : std::nullopt;
    std::vector<std::size_t> batched, alone;
    BatchLiterals literals;
    if (shape) {
        batched.reserve(texts.size() - 1);
        literals.reserve(texts.size() - 1);
    }
    for (std::size_t i = 1; i < texts.size(); ++i) {
        if (span)
            if (texts.add_if_as_first(i, *span, literals)) {
                batched.push_back(i);
                continue;
            }
        if (shape) {
            try {
                reference::QueryShape s = reference::query_shape(texts.text(i));
                if (s.reusable && s.key == key) {
                    batched.push_back(i);
                    literals.add(std::move(s.literals));
                    continue;
                }
            } catch (const AppError&) {
                // Not of the batch: it fails on its own.
            }
        }
        alone.push_back(i);
    }
    // A shape that compares one field of texts with its text finds many codes by folded
    // values, read once from the whole table, which needs no index; a few codes cost less as
    // look-ups, until the values are read. Any other batch joins its codes to the table:
    // without an index on the looked-up columns SQLite would build one for every run, so a few
    // codes are looked up one by one, by scans, and more are batched over the index they earn.
    const bool by_fold = !batched.empty() && impl_->folds(*shape) &&
                         (shape->folded || batched.size() >= Impl::scans_before_index);
    // A few texts of such a shape, whose field has no index yet, are found by one scan of the
    // table together, counted as look-ups as if each ran alone.
    const bool by_scan = !by_fold && !batched.empty() &&
                         batched.size() < Impl::scans_before_index && impl_->folds(*shape) &&
                         !impl_->all_indexed(shape->table, shape->lookup_columns);
    // The first text joins a batch by folded values or a scan, which answers it without a scan
    // of the table of its own; otherwise it runs alone before the others.
    if (by_fold || by_scan) {
        batched.push_back(0);
        literals.add(std::move(first_literals));
    } else if (first_query) {
        one(0);
    }
    if (by_scan) {
        impl_->note_lookups(shape->table, shape->lookup_columns, batched.size() - 1);
        std::vector<std::size_t> again;
        if (!impl_->run_scanned(*shape, literals, batched, outcomes, again))
            again = std::move(batched);
        batched.clear();
        alone.insert(alone.end(), again.begin(), again.end());
        std::sort(alone.begin(), alone.end());
    }
    if (!batched.empty() && !by_fold && !impl_->all_indexed(shape->table, shape->lookup_columns)) {
        if (batched.size() < Impl::scans_before_index) {
            alone.insert(alone.end(), batched.begin(), batched.end());
            std::sort(alone.begin(), alone.end());
            batched.clear();
        } else {
            impl_->note_lookups(shape->table, shape->lookup_columns, batched.size());
        }
    }
    std::vector<std::size_t> again;
    if (!batched.empty() &&
        !(by_fold
              ? impl_->run_folded(*shape, literals, batched, outcomes, again)
              : impl_->run_batch(texts.first_text(), *shape, literals, batched, outcomes, again)))
        again = std::move(batched);
    if (!again.empty()) {
        alone.insert(alone.end(), again.begin(), again.end());
        std::sort(alone.begin(), alone.end());
    }
    for (std::size_t i : alone)
        one(i);
    return outcomes;
}

std::vector<SqliteReferenceEngine::TableRows> SqliteReferenceEngine::tables() const {
    impl_->load_unread();
    if (!impl_->db)
        throw AppError(3420, "Object invalid or no longer set.");
    std::vector<TableRows> out;
    for (const TableInfo& t : impl_->tables) {
        if (const auto* d = impl_->damage_of(t.name)) {
            out.push_back({t.name, std::nullopt, d->why});
            continue;
        }
        sqlite3_stmt* s = nullptr;
        std::string sql = "SELECT count(*) FROM " + reference::quote_identifier(t.name);
        int rc = sqlite3_prepare_v2(impl_->db, sql.c_str(), -1, &s, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(s);
        std::int64_t rows = rc == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW)
            throw AppError(3000, "Cannot count the rows of '" + t.name +
                                     "': " + sqlite3_errmsg(impl_->db) + ".");
        out.push_back({t.name, rows, {}});
    }
    return out;
}

const std::string& SqliteReferenceEngine::library_notes() const {
    impl_->load_unread();
    return impl_->notes;
}

void SqliteReferenceEngine::save_as_sqlite(const std::string& out_path) const {
    impl_->load_unread();
    namespace fs = std::filesystem;
    if (!impl_->db)
        throw AppError(3420, "Object invalid or no longer set.");
    std::error_code ec;
    if (fs::exists(out_path, ec) && fs::equivalent(out_path, impl_->path, ec))
        throw AppError(err::path_access,
                       "Refusing to write over the open database '" + out_path + "'.");
    if (!impl_->damaged.empty())
        throw impl_->damaged_table(impl_->damaged.front());
    fs::path target(out_path);
    fs::path temp = target;
    temp += ".part";
    fs::remove(temp, ec);

    sqlite3* out = nullptr;
    auto fail = [&](const std::string& why) {
        if (out)
            sqlite3_close_v2(out);
        fs::remove(temp, ec);
        return AppError(err::path_access, "Cannot write '" + out_path + "': " + why + ".");
    };
    if (sqlite3_open_v2(temp.c_str(), &out, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        throw fail(out ? sqlite3_errmsg(out) : "cannot create the file");
    register_access_rules(out);
    sqlite3_backup* b = sqlite3_backup_init(out, "main", impl_->db, "main");
    int rc = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
    if (b)
        sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw fail(sqlite3_errmsg(out));
    // The lookup indexes use this engine's collation, which other SQLite programs lack.
    for (std::size_t i = 1; i <= impl_->indexed.size(); ++i) {
        std::string drop =
            "DROP INDEX IF EXISTS " + reference::quote_identifier("qv_lookup_" + std::to_string(i));
        if (sqlite3_exec(out, drop.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw fail(sqlite3_errmsg(out));
    }
    if (sqlite3_close(out) != SQLITE_OK)
        throw fail("cannot finish the file");
    out = nullptr;
    fs::rename(temp, target, ec);
    if (ec)
        throw fail(ec.message());
}

std::unique_ptr<ReferenceEngine> make_reference_engine() {
    return std::make_unique<SqliteReferenceEngine>();
}

}  // namespace qv
