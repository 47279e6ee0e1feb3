#include "platform/reference/access_sql.h"

#include <stdexcept>

#include "platform/app_error.h"
#include "platform/reference/access_text.h"

namespace qv::reference {

namespace {

enum class Tok { name, bracketed, string, number, punct, end };

struct Token {
    Tok kind;
    std::string text;  // name without brackets, literal without quotes, or the punctuation
    std::size_t offset;
};

bool is_name_start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool is_name_char(unsigned char c) {
    return is_name_start(c) || (c >= '0' && c <= '9');
}
bool is_digit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool same_word(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compare_folded(a, b) == 0;
}

[[noreturn]] void lex_fail(std::string_view query, std::size_t offset, const std::string& why) {
    throw AppError(err::db_syntax, "Syntax error in query expression '" + std::string(query) +
                                       "': " + why + " (near position " +
                                       std::to_string(offset + 1) + ").");
}

// The text literal whose opening quote is at `i`: its value, with `i` moved past its closing
// quote; false when it does not close. A quote inside a literal is written twice.
bool scan_text_literal(std::string_view query, std::size_t& i, std::string& text) {
    const char quote = query[i++];
    for (;;) {
        // The text between quotes is copied a run at a time.
        const std::size_t at = query.find(quote, i);
        if (at == std::string_view::npos) {
            text.append(query.substr(i));
            i = query.size();
            return false;
        }
        text.append(query.substr(i, at - i));
        if (at + 1 < query.size() && query[at + 1] == quote) {
            text += quote;
            i = at + 2;
            continue;
        }
        i = at + 1;
        return true;
    }
}

std::vector<Token> tokenize(std::string_view query) {
    std::vector<Token> tokens;
    tokens.reserve(query.size() / 4 + 1);
    std::size_t i = 0;
    auto c = [&](std::size_t k) { return static_cast<unsigned char>(query[k]); };
    while (i < query.size()) {
        unsigned char ch = c(i);
        std::size_t start = i;
        if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
            ++i;
        } else if (ch == '[') {
            std::size_t close = query.find(']', i + 1);
            if (close == std::string_view::npos)
                lex_fail(query, i, "a \"[\" has no closing \"]\"");
            if (close == i + 1)
                lex_fail(query, i, "an empty name \"[]\"");
            tokens.push_back(
                {Tok::bracketed, std::string(query.substr(i + 1, close - i - 1)), start});
            i = close + 1;
        } else if (ch == '"' || ch == '\'') {
            std::string text;
            if (!scan_text_literal(query, i, text))
                lex_fail(query, start, "a text literal has no closing quote");
            tokens.push_back({Tok::string, std::move(text), start});
        } else if (is_digit(ch) || (ch == '.' && i + 1 < query.size() && is_digit(c(i + 1)))) {
            while (i < query.size() && is_digit(c(i)))
                ++i;
            if (i < query.size() && c(i) == '.') {
                ++i;
                while (i < query.size() && is_digit(c(i)))
                    ++i;
            }
            if (i < query.size() && is_name_char(c(i)))
                lex_fail(query, start, "a malformed number");
            tokens.push_back({Tok::number, std::string(query.substr(start, i - start)), start});
        } else if (is_name_start(ch)) {
            while (i < query.size() && is_name_char(c(i)))
                ++i;
            tokens.push_back({Tok::name, std::string(query.substr(start, i - start)), start});
        } else {
            std::string_view two = query.substr(i, 2);
            if (two == "<>" || two == "<=" || two == ">=") {
                tokens.push_back({Tok::punct, std::string(two), start});
                i += 2;
            } else if (std::string_view("(),.;*=<>").find(static_cast<char>(ch)) !=
                       std::string_view::npos) {
                tokens.push_back({Tok::punct, std::string(1, static_cast<char>(ch)), start});
                ++i;
            } else {
                lex_fail(query, i,
                         "an unexpected character '" + std::string(1, static_cast<char>(ch)) + "'");
            }
        }
    }
    tokens.push_back({Tok::end, "", query.size()});
    return tokens;
}

// The shape key: every token but the literals, which stand as their kind only. Each token is
// written as its kind, its length and its text, so two token lists never share a key. Names
// keep their spelling (a key that differs only in letter case costs a translation, never a
// wrong statement).
QueryShape shape_of(const std::vector<Token>& tokens) {
    QueryShape shape;
    shape.key.reserve(tokens.size() * 12);
    for (const Token& t : tokens) {
        char kind = 'p';
        switch (t.kind) {
            case Tok::string:
            case Tok::number:
                shape.key += t.kind == Tok::string ? 's' : 'n';
                shape.literals.push_back({t.kind == Tok::number, t.text});
                continue;
            case Tok::name:
                // A LIKE pattern is checked against its value, so such a query's translation
                // depends on more than its shape.
                if (same_word(t.text, "LIKE"))
                    shape.reusable = false;
                kind = 'w';
                break;
            case Tok::bracketed:
                kind = 'b';
                break;
            case Tok::punct:
                break;
            case Tok::end:
                continue;
        }
        shape.key += kind;
        shape.key += std::to_string(t.text.size());
        shape.key += ':';
        shape.key += t.text;
    }
    return shape;
}

class Translator {
  public:
    Translator(std::string_view query, const TableLookup& lookup, bool batched,
               bool keep_duplicates = false)
        : query_(query),
          lookup_(lookup),
          tokens_(tokenize(query)),
          batched_(batched),
          keep_duplicates_(keep_duplicates) {}

    TranslatedQuery run() {
        expect_word("SELECT");
        out_.distinct = accept_word("DISTINCTROW") || accept_word("DISTINCT");
        if (!out_.distinct)
            accept_word("ALL");
        const bool distinct = out_.distinct && !keep_duplicates_;

        std::vector<SelectItem> items;
        do {
            items.push_back(parse_select_item());
        } while (accept_punct(","));

        expect_word("FROM");
        std::string table_word = expect_name("a table name after FROM");
        table_ = lookup_(table_word);
        if (!table_)
            throw AppError(3078,
                           "The engine cannot find the input table or query '" + table_word +
                               "'. Make sure it exists and that its name is spelled correctly.");
        out_.table = table_->name;

        std::string where, earlier_where;
        bool sole_equality = false;
        if (accept_word("WHERE")) {
            const std::size_t start = pos_, literals = out_.parameters.size();
            where = parse_or();
            sole_equality = is_sole_equality(start, pos_);
            if (batched_ && distinct) {
                // The same condition once more over the table under a second name, for the
                // test that no earlier row of the table repeats a kept one; it binds the same
                // literals, so the parameters are those of the first reading.
                const std::size_t end = pos_;
                auto parameters = out_.parameters;
                auto lookup_columns = out_.lookup_columns;
                out_.parameters.resize(literals);
                alias_ = earlier_alias;
                pos_ = start;
                earlier_where = parse_or();
                alias_ = table_alias;
                pos_ = end;
                out_.parameters = std::move(parameters);
                out_.lookup_columns = std::move(lookup_columns);
            }
        }

        std::vector<std::string> order;
        if (accept_word("ORDER")) {
            expect_word("BY");
            do {
                std::string col = column_sql(parse_field_ref());
                std::string dir;
                if (accept_word("DESC"))
                    dir = " DESC";
                else
                    accept_word("ASC");
                order.push_back(col + " COLLATE " + access_collation + dir);
            } while (accept_punct(","));
        }
        accept_punct(";");
        if (peek().kind != Tok::end)
            fail("unexpected text after the end of the query");

        std::vector<std::pair<std::string, std::string>> columns;  // source column, result name
        for (const SelectItem& item : items) {
            if (item.star) {
                if (!item.table.empty())
                    check_qualifier(item.table);
                for (const std::string& c : table_->columns)
                    columns.emplace_back(c, c);
            } else {
                std::string column = resolve_column(item.table, item.field, item.offset);
                columns.emplace_back(column, item.alias.empty() ? column : item.alias);
            }
        }
        if (sole_equality && order.empty() && out_.lookup_columns.size() == 1 &&
            out_.parameters.size() == 1 && !out_.parameters[0].is_number) {
            out_.equality_column = out_.lookup_columns[0];
            out_.scan_sql = "SELECT " + quote_identifier(out_.equality_column);
            for (const auto& [column, name] : columns)
                out_.scan_sql += ", " + quote_identifier(column) + " AS " + quote_identifier(name);
            out_.scan_sql += " FROM main." + quote_identifier(table_->name) + " ORDER BY rowid";
        }

        // The table is named in its schema, so that a batch table (in the temporary schema,
        // which SQLite searches first) can never stand for it. Batched, the table is joined to
        // the batch rows, which come first; every column of the query's table is qualified, so
        // that no name of the batch table can capture it.
        std::string from = " FROM main." + quote_identifier(table_->name);
        std::string position, table_rowid = "rowid";
        if (batched_) {
            position = quote_identifier(batch_alias) + "." + quote_identifier(batch_position);
            from = " FROM temp." + quote_identifier(batch_table(out_.parameters.size())) + " AS " +
                   quote_identifier(batch_alias) + " CROSS JOIN main." +
                   quote_identifier(table_->name) + " AS " + quote_identifier(table_alias);
            table_rowid = quote_identifier(table_alias) + ".rowid";
        }
        if (!where.empty())
            from += " WHERE " + where;
        std::string& sql = out_.sql;
        if (!distinct) {
            sql = "SELECT ";
            if (batched_)
                sql += position + ", ";
            for (std::size_t i = 0; i < columns.size(); ++i)
                sql += (i ? ", " : "") + column_sql(columns[i].first) + " AS " +
                       quote_identifier(columns[i].second);
            sql += from + " ORDER BY ";
            if (batched_)
                sql += position + ", ";
            for (const std::string& o : order)
                sql += o + ", ";
            sql += table_rowid;
        } else if (batched_ && order.empty()) {
            // Duplicates (letter case aside) are dropped: a row is kept when no earlier row of
            // the table meets the condition with the same values. Kept rows come in the order
            // of the batch, then of the table, which the lookup index gives without a sort.
            std::string earlier = "SELECT 1 FROM main." + quote_identifier(table_->name) + " AS " +
                                  quote_identifier(earlier_alias) + " WHERE ";
            if (!earlier_where.empty())
                earlier += earlier_where + " AND ";
            earlier += quote_identifier(earlier_alias) + ".rowid < " + table_rowid;
            sql = "SELECT " + position;
            for (const auto& [column, name] : columns) {
                sql += ", " + column_sql(column) + " AS " + quote_identifier(name);
                earlier += " AND (" + quote_identifier(earlier_alias) + "." +
                           quote_identifier(column) + " IS " + column_sql(column) + " COLLATE " +
                           access_collation + ")";
            }
            sql += from + (where.empty() ? " WHERE " : " AND ") + "NOT EXISTS (" + earlier +
                   ") ORDER BY " + position + ", " + table_rowid;
        } else {
            // Duplicates (letter case aside) are dropped; each kept row stands where its first
            // occurrence stands in the table. With min() as the only aggregate, SQLite takes the
            // bare columns from the row that holds the minimum.
            std::string inner = "SELECT ", group, outer = "SELECT ";
            if (batched_) {
                inner += position + " AS " + quote_identifier(batch_position) + ", ";
                group = position + ", ";
                outer += quote_identifier(batch_position) + ", ";
            }
            for (std::size_t i = 0; i < columns.size(); ++i) {
                std::string c = column_sql(columns[i].first);
                std::string alias = quote_identifier("c" + std::to_string(i));
                inner += c + " AS " + alias + ", ";
                group += (i ? ", " : "") + alias + " COLLATE " + access_collation;
                outer += (i ? ", " : "") + alias + " AS " + quote_identifier(columns[i].second);
            }
            inner += "min(" + table_rowid + ") AS qv_first" + from + " GROUP BY " + group;
            // The batch position by its place: a selected field may bear its name.
            sql = outer + " FROM (" + inner + ") ORDER BY " + (batched_ ? "1, " : "");
            for (std::string o : order) {
                // Order keys name source columns; the outer query sees them under their alias.
                bool found = false;
                for (std::size_t i = 0; i < columns.size() && !found; ++i) {
                    std::string c = column_sql(columns[i].first);
                    if (o.compare(0, c.size() + 1, c + " ") == 0) {
                        o = quote_identifier("c" + std::to_string(i)) + o.substr(c.size());
                        found = true;
                    }
                }
                if (!found)
                    throw AppError(3093,
                                   "ORDER BY clause conflicts with DISTINCT: every ordering "
                                   "field must be selected.");
                sql += o + ", ";
            }
            sql += "qv_first";
        }
        return std::move(out_);
    }

  private:
    struct SelectItem {
        bool star = false;
        std::string table, field, alias;
        std::size_t offset = 0;
    };
    static constexpr const char* batch_alias = "qv_b";
    static constexpr const char* table_alias = "qv_t";
    static constexpr const char* earlier_alias = "qv_u";
    // The name that column references of a batched query qualify their columns with.
    const char* alias_ = table_alias;

    // A column of the query's table as the translated text names it.
    std::string column_sql(const std::string& column) const {
        if (!batched_)
            return quote_identifier(column);
        return quote_identifier(alias_) + "." + quote_identifier(column);
    }

    struct Operand {
        bool literal;
        std::string sql;
        std::string column;  // the source column when it is a field
    };

    [[noreturn]] void fail(const std::string& why) const {
        const Token& t = peek();
        std::string near =
            t.kind == Tok::end ? "at the end" : "near position " + std::to_string(t.offset + 1);
        throw AppError(err::db_syntax, "Syntax error in query expression '" + std::string(query_) +
                                           "': " + why + " (" + near + ").");
    }

    const Token& peek(std::size_t ahead = 0) const {
        std::size_t k = pos_ + ahead;
        return tokens_[k < tokens_.size() ? k : tokens_.size() - 1];
    }
    bool is_word(const Token& t, std::string_view w) const {
        return t.kind == Tok::name && same_word(t.text, w);
    }
    bool accept_word(std::string_view w) {
        if (!is_word(peek(), w))
            return false;
        ++pos_;
        return true;
    }
    void expect_word(std::string_view w) {
        if (!accept_word(w))
            fail("expected " + std::string(w));
    }
    bool accept_punct(std::string_view p) {
        if (peek().kind != Tok::punct || peek().text != p)
            return false;
        ++pos_;
        return true;
    }
    void expect_punct(std::string_view p) {
        if (!accept_punct(p))
            fail("expected \"" + std::string(p) + "\"");
    }
    bool is_reserved(const Token& t) const {
        static constexpr std::string_view words[] = {
            "SELECT", "DISTINCTROW", "DISTINCT", "FROM", "WHERE", "AND", "OR", "NOT",
            "LIKE",   "ORDER",       "BY",       "IS",   "NULL",  "AS",  "ALL"};
        if (t.kind != Tok::name)
            return false;
        for (std::string_view w : words)
            if (same_word(t.text, w))
                return true;
        return false;
    }
    bool at_name() const {
        return peek().kind == Tok::bracketed || (peek().kind == Tok::name && !is_reserved(peek()));
    }
    std::string expect_name(const std::string& what) {
        if (!at_name())
            fail("expected " + what);
        return tokens_[pos_++].text;
    }

    SelectItem parse_select_item() {
        SelectItem item;
        item.offset = peek().offset;
        if (accept_punct("*")) {
            item.star = true;
            return item;
        }
        std::string first = expect_name("a field name");
        if (accept_punct(".")) {
            item.table = first;
            if (accept_punct("*")) {
                item.star = true;
                return item;
            }
            item.field = expect_name("a field name after \".\"");
        } else {
            item.field = first;
        }
        if (accept_word("AS"))
            item.alias = expect_name("a name after AS");
        return item;
    }

    void check_qualifier(const std::string& qualifier) const {
        if (!table_ || !same_word(qualifier, table_->name))
            throw AppError(3075, "Syntax error in query expression '" + std::string(query_) +
                                     "': the table '" + qualifier +
                                     "' is not the table of the FROM clause.");
    }

    // Table qualifiers are checked once the FROM table is known.
    std::string resolve_column(const std::string& qualifier, const std::string& field,
                               std::size_t) const {
        if (!qualifier.empty())
            check_qualifier(qualifier);
        for (const std::string& c : table_->columns)
            if (same_word(c, field))
                return c;
        throw AppError(3061, "The table '" + table_->name + "' has no field '" + field + "'.");
    }

    std::string parse_field_ref() {
        std::string first = expect_name("a field name");
        if (accept_punct("."))
            return resolve_column(first, expect_name("a field name after \".\""), 0);
        return resolve_column("", first, 0);
    }

    std::string parse_or() {
        std::string s = parse_and();
        while (accept_word("OR"))
            s = "(" + s + " OR " + parse_and() + ")";
        return s;
    }
    std::string parse_and() {
        std::string s = parse_not();
        while (accept_word("AND"))
            s = "(" + s + " AND " + parse_not() + ")";
        return s;
    }
    std::string parse_not() {
        if (accept_word("NOT"))
            return "(NOT " + parse_not() + ")";
        if (accept_punct("(")) {
            std::string s = parse_or();
            expect_punct(")");
            return s;
        }
        return parse_predicate();
    }

    Operand parse_operand() {
        const Token& t = peek();
        if (t.kind == Tok::string || t.kind == Tok::number) {
            ++pos_;
            out_.parameters.push_back({t.kind == Tok::number, t.text});
            if (batched_)
                // The unary plus leaves the value without affinity, as a bound parameter is.
                return {true,
                        "(+" + quote_identifier(batch_alias) + "." +
                            quote_identifier(batch_literal(out_.parameters.size())) + ")",
                        ""};
            return {true, "?" + std::to_string(out_.parameters.size()), ""};
        }
        if (at_name()) {
            std::string column = parse_field_ref();
            return {false, column_sql(column), column};
        }
        fail("expected a field or a literal");
    }

    std::string parse_predicate() {
        Operand left = parse_operand();
        if (accept_word("IS")) {
            bool negated = accept_word("NOT");
            expect_word("NULL");
            if (left.literal)
                fail("IS NULL needs a field");
            return "(" + left.sql + (negated ? " IS NOT NULL)" : " IS NULL)");
        }
        bool negated = accept_word("NOT");
        if (accept_word("LIKE")) {
            Operand pattern = parse_operand();
            no_constant_condition(left, pattern);
            if (pattern.literal && !out_.parameters.back().is_number) {
                try {
                    LikePattern check(out_.parameters.back().text);
                } catch (const std::invalid_argument& e) {
                    throw AppError(err::db_syntax, "Invalid pattern string in query expression '" +
                                                       std::string(query_) + "': " + e.what() +
                                                       ".");
                }
            }
            std::string call =
                std::string(access_like_function) + "(" + pattern.sql + ", " + left.sql + ")";
            return negated ? "(NOT " + call + ")" : call;
        }
        if (negated)
            fail("expected LIKE after NOT");
        static constexpr std::string_view ops[] = {"=", "<>", "<=", ">=", "<", ">"};
        for (std::string_view op : ops) {
            if (!accept_punct(op))
                continue;
            Operand right = parse_operand();
            no_constant_condition(left, right);
            if (op == "=" && !left.literal && right.literal)
                out_.lookup_columns.push_back(left.column);
            if (op == "=" && left.literal && !right.literal)
                out_.lookup_columns.push_back(right.column);
            return "(" + left.sql + " " + std::string(op) + " " + right.sql + " COLLATE " +
                   access_collation + ")";
        }
        fail("expected a comparison, LIKE or IS NULL");
    }

    // Whether the tokens from `begin` to `end`, a condition that parsed, are one field (or a
    // table and its field) and one literal with "=" between them, in parentheses or not.
    bool is_sole_equality(std::size_t begin, std::size_t end) const {
        const auto punct = [&](std::size_t k, std::string_view p) {
            return tokens_[k].kind == Tok::punct && tokens_[k].text == p;
        };
        while (end - begin >= 2 && punct(begin, "(") && punct(end - 1, ")")) {
            ++begin;
            --end;
        }
        const auto literal = [&](std::size_t k) {
            return tokens_[k].kind == Tok::string || tokens_[k].kind == Tok::number;
        };
        const auto field = [&](std::size_t from, std::size_t to) {
            return (to - from == 1 && !literal(from)) ||
                   (to - from == 3 && punct(from + 1, ".") && !literal(from) && !literal(from + 2));
        };
        for (std::size_t eq = begin; eq < end; ++eq)
            if (punct(eq, "="))
                return (literal(begin) && eq == begin + 1 && field(eq + 1, end)) ||
                       (literal(end - 1) && eq + 2 == end && field(begin, eq));
        return false;
    }

    // The program never compares two literals. Refusing it keeps a value that slipped into the
    // text unquoted (such as `") OR ("1"="1`) from turning into an always-true condition.
    void no_constant_condition(const Operand& a, const Operand& b) const {
        if (a.literal && b.literal)
            throw AppError(err::db_syntax,
                           "Syntax error in query expression '" + std::string(query_) +
                               "': a condition compares two literals and names no field.");
    }

    std::string_view query_;
    const TableLookup& lookup_;
    std::vector<Token> tokens_;
    bool batched_;
    bool keep_duplicates_;
    std::size_t pos_ = 0;
    const TableInfo* table_ = nullptr;
    TranslatedQuery out_;
};

}  // namespace

std::string quote_identifier(std::string_view name) {
    std::string q = "\"";
    for (char ch : name) {
        if (ch == '"')
            q += '"';
        q += ch;
    }
    return q + "\"";
}

TranslatedQuery translate_access_query(std::string_view query, const TableLookup& lookup) {
    return Translator(query, lookup, false).run();
}

std::string batch_table(std::size_t literals) {
    return "qv_batch_" + std::to_string(literals);
}

std::string batch_literal(std::size_t k) {
    return "p" + std::to_string(k);
}

TranslatedQuery translate_access_batch(std::string_view query, const TableLookup& lookup,
                                       bool keep_duplicates) {
    return Translator(query, lookup, true, keep_duplicates).run();
}

QueryShape query_shape(std::string_view query) {
    return shape_of(tokenize(query));
}

std::optional<LiteralSpan> sole_text_literal(std::string_view query) {
    const std::vector<Token> tokens = tokenize(query);
    std::optional<LiteralSpan> found;
    for (const Token& t : tokens) {
        if (t.kind != Tok::string && t.kind != Tok::number)
            continue;
        if (found || t.kind != Tok::string || query[t.offset] != '"')
            return std::nullopt;
        std::size_t end = t.offset;
        std::string text;
        scan_text_literal(query, end, text);
        found = LiteralSpan{t.offset, end};
    }
    return found;
}

std::optional<std::string> same_shape_but_literal(std::string_view query, std::string_view model,
                                                  const LiteralSpan& span) {
    const std::string_view prefix = model.substr(0, span.begin), suffix = model.substr(span.end);
    if (query.size() < prefix.size() + suffix.size() + 2 || !query.starts_with(prefix) ||
        !query.ends_with(suffix) || query[prefix.size()] != '"')
        return std::nullopt;
    std::size_t end = prefix.size();
    std::optional<std::string> literal(std::in_place);
    if (!scan_text_literal(query, end, *literal) || end != query.size() - suffix.size())
        return std::nullopt;
    return literal;
}

}  // namespace qv::reference
