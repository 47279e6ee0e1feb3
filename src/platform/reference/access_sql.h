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
    // Whether the text drops duplicate rows (DISTINCT or DISTINCTROW).
    bool distinct = false;
    // Where the text has no ORDER BY and its only condition is one field equal to its one
    // literal, a text: that field, and a query (not batched) that gives that field and then
    // the selected fields of every row of the table, in table order. Empty otherwise.
    std::string equality_column;
    std::string scan_sql;
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

// The table a batched translation reads its literals from: one row per query of the batch,
// its position in batch_position, literal k (from 1) in batch_literal(k).
std::string batch_table(std::size_t literals);
inline constexpr const char* batch_position = "qv_pos";
std::string batch_literal(std::size_t k);

// The same query run for every row of batch_table(parameters.size()) at once: each row's
// literals stand where the query's own literals stand, and the result is the rows the query
// would give for each batch row, in batch order, each preceded by its batch position as the
// first column. Fails as translate_access_query does. With keep_duplicates, a query that drops
// duplicate rows keeps them instead, and comes in the order it would without DISTINCT: where a
// batch row finds at most one row that is the same, and much cheaper.
TranslatedQuery translate_access_batch(std::string_view query, const TableLookup& lookup,
                                       bool keep_duplicates = false);

// Throws AppError 3075 where translate_access_query would for a text that cannot be split into
// tokens.
QueryShape query_shape(std::string_view query);

// Where the one literal of a query stands, quotes included, when it has just one and that is a
// text in double quotes; nullopt otherwise. Throws as query_shape does.
struct LiteralSpan {
    std::size_t begin = 0, end = 0;
};
std::optional<LiteralSpan> sole_text_literal(std::string_view query);

// For a query that is `model` with another text literal in double quotes in place of the one at
// `span`: the value of that literal, the query's only one, found without reading the query's
// tokens. nullopt for any other query.
std::optional<std::string> same_shape_but_literal(std::string_view query, std::string_view model,
                                                  const LiteralSpan& span);

// The SQLite collation and function names that the translated text relies on.
inline constexpr const char* access_collation = "ACCESS";
inline constexpr const char* access_like_function = "access_like";

// The name quoted for SQLite.
std::string quote_identifier(std::string_view name);

}  // namespace qv::reference
