#include "scenario/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/app_error.h"

namespace qv {

namespace {
char up(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char down(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

std::string upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = up(c);
    return r;
}

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = down(c);
    return r;
}

std::string ltrim(std::string_view s) {
    std::size_t b = s.find_first_not_of(' ');
    return b == std::string_view::npos ? std::string() : std::string(s.substr(b));
}

std::string rtrim(std::string_view s) {
    std::size_t e = s.find_last_not_of(' ');
    return e == std::string_view::npos ? std::string() : std::string(s.substr(0, e + 1));
}

std::string trim(std::string_view s) {
    return std::string(trimmed(s));
}

std::string_view trimmed(std::string_view s) {
    const std::size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (up(a[i]) != up(b[i]))
            return false;
    return true;
}

bool starts_with_upper(std::string_view line, std::string_view prefix) {
    if (line.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (up(line[i]) != prefix[i])
            return false;
    return true;
}

std::string left(std::string_view s, std::size_t n) {
    return std::string(s.substr(0, n));
}

std::string right(std::string_view s, std::size_t n) {
    return n >= s.size() ? std::string(s) : std::string(s.substr(s.size() - n));
}

std::string fit(std::string_view s, std::size_t n) {
    std::string r = left(s, n);
    r.resize(n, ' ');
    return r;
}

std::string line_value(std::string_view line) {
    std::size_t p = line.find(':');
    std::string_view v = p == std::string_view::npos ? line : line.substr(p + 1);
    return upper(trimmed(v));
}

// Length of the longest leading number of s (after the position b): sign, digits, one point,
// digits, and an exponent when one follows with digits.
std::size_t number_length(std::string_view s, std::size_t b) {
    std::size_t i = b;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && is_digit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && is_digit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        std::size_t k = j;
        while (k < s.size() && is_digit(s[k]))
            ++k;
        if (k > j)
            i = k;
    }
    return i - b;
}

namespace {

double to_double(std::string_view s) {
    std::string t(s);
    for (char& c : t)
        if (c == 'D' || c == 'd')
            c = 'E';
    double v = std::strtod(t.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}
}  // namespace

double lenient_number(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    std::size_t n = number_length(s, b);
    return n == 0 ? 0.0 : to_double(s.substr(b, n));
}

double strict_number(std::string_view s) {
    std::string t = trim(s);
    std::size_t n = number_length(t, 0);
    if (n == 0 || n != t.size())
        throw type_mismatch_error();
    double v = to_double(t);
    return v;
}

std::string general_number(double v) {
    v += 0.0;  // no "-0"
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

std::size_t character_count(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xe  ? 3
                                   : (lead >> 3) == 0x1e ? 4
                                                         : 0;
        if (length == 0 || i + length > s.size())
            return s.size();
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80)
                return s.size();
        i += length;
    }
    return count;
}

}  // namespace qv
