#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Translation of the Access query texts that the program writes into SQLite SQL. The query is
// parsed, not pasted: names are checked against the database, and every literal becomes a
// bound parameter.
namespace qv::reference {

struct TableInfo {
    std::string name;                  // as the database defines it
    std::vector<std::string> columns;  // as the database defines them
};

// A literal of the query, bound to its parameter in order (?1, ?2, ...).
struct Literal {
    bool is_number = false;
    std::string text;
    bool operator==(const Literal&) const = default;
};

struct TranslatedQuery {
    std::string sql;
    std::vector<Literal> parameters;
    std::string table;
    // Columns compared for equality with a literal: worth an index.
    std::vector<std::string> lookup_columns;
};

// What a query text is without its literals. Two texts with the same key translate to the same
// SQL, with their own literals as the parameters in order, unless reusable is false.
struct QueryShape {
    std::string key;
    std::vector<Literal> literals;
    bool reusable = true;
};

// Finds a table by name without regard to case; nullptr when there is none.
using TableLookup = std::function<const TableInfo*(std::string_view)>;

// Throws AppError: 3075 for text outside the dialect, 3078 for an unknown table, 3061 for an
// unknown field.
TranslatedQuery translate_access_query(std::string_view query, const TableLookup& lookup);

// Throws AppError 3075 where translate_access_query would for a text that cannot be split into
// tokens.
QueryShape query_shape(std::string_view query);

// The SQLite collation and function names that the translated text relies on.
inline constexpr const char* access_collation = "ACCESS";
inline constexpr const char* access_like_function = "access_like";

// The name quoted for SQLite.
std::string quote_identifier(std::string_view name);

}  // namespace qv::reference
