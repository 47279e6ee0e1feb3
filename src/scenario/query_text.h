#pragma once

#include <string>
#include <string_view>

namespace qv {

// A value as a double-quoted literal of a query text, with inner quotes doubled, so that the
// reference engine reads it back as one literal whatever it holds.
inline std::string query_literal(std::string_view value) {
    std::string r = "\"";
    for (char c : value) {
        if (c == '"') r += '"';
        r += c;
    }
    r += '"';
    return r;
}

std::string county_query(std::string_view code);

}  // namespace qv
