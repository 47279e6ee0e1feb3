#include "platform/reference/access_text.h"

#include <algorithm>
#include <stdexcept>

namespace qv::reference {

char32_t next_char(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char b0 = byte(pos);
    std::size_t extra = b0 >= 0xF0 && b0 <= 0xF4   ? 3
                        : b0 >= 0xE0 && b0 <= 0xEF ? 2
                        : b0 >= 0xC2 && b0 <= 0xDF ? 1
                                                   : 0;
    if (extra == 0 || pos + extra >= text.size()) {
        ++pos;
        return b0;
    }
    char32_t c = b0 & (0x3F >> extra);
    for (std::size_t i = 1; i <= extra; ++i) {
        unsigned char b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    pos += extra + 1;
    return c;
}

char32_t fold_case(char32_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        bool even_pairs = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
        bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (even_pairs && c % 2 == 0)
            return c + 1;
        if (odd_pairs && c % 2 == 1)
            return c + 1;
        return c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

int compare_folded(std::string_view a, std::string_view b) {
    // Equal ASCII bytes are equal characters: the common start of two codes is passed over
    // byte by byte. It ends on a character boundary of both, all before it being ASCII.
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < common && a[i] == b[i] && static_cast<unsigned char>(a[i]) < 0x80)
        ++i;
    std::size_t j = i;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        char32_t x, y;
        // Codes and names are mostly ASCII: this collation runs for every row an index or a
        // lookup compares, so the common case skips the decoding.
        if ((ca | cb) < 0x80) {
            x = ca >= 'A' && ca <= 'Z' ? ca + 0x20 : ca;
            y = cb >= 'A' && cb <= 'Z' ? cb + 0x20 : cb;
            ++i;
            ++j;
        } else {
            x = fold_case(next_char(a, i));
            y = fold_case(next_char(b, j));
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::string folded_key(std::string_view text) {
    // Codes are mostly ASCII: those bytes fold in place, and from the first other byte on the
    // text is read by characters.
    std::string key(text);
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80)
            break;
        if (b >= 'A' && b <= 'Z')
            key[i] = static_cast<char>(b + 0x20);
    }
    if (i == text.size())
        return key;
    key.resize(i);
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            key += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
            ++i;
            continue;
        }
        const char32_t c = fold_case(next_char(text, i));
        if (c < 0x80) {
            key += static_cast<char>(c);
        } else if (c < 0x800) {
            key += static_cast<char>(0xC0 | (c >> 6));
            key += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            key += static_cast<char>(0xE0 | (c >> 12));
            key += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            key += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            key += static_cast<char>(0xF0 | (c >> 18));
            key += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            key += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            key += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return key;
}

LikePattern::LikePattern(std::string_view pattern) {
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        char32_t c = next_char(pattern, pos);
        Token t;
        t.kind = Kind::literal;
        switch (c) {
            case '?':
                t.kind = Kind::any_char;
                break;
            case '#':
                t.kind = Kind::digit;
                break;
            case '*':
                // Runs of "*" mean the same as one.
                if (!tokens_.empty() && tokens_.back().kind == Kind::any_run)
                    continue;
                t.kind = Kind::any_run;
                break;
            case '[': {
                t.kind = Kind::set;
                std::size_t close = pattern.find(']', pos);
                if (close == std::string_view::npos)
                    throw std::invalid_argument("a \"[\" in the pattern has no closing \"]\"");
                std::string_view body = pattern.substr(pos, close - pos);
                pos = close + 1;
                std::size_t k = 0;
                if (!body.empty() && body[0] == '!') {
                    t.negated = true;
                    k = 1;
                }
                if (k == body.size() && !t.negated)
                    continue;  // "[]" stands for no character
                while (k < body.size()) {
                    char32_t low = next_char(body, k);
                    char32_t high = low;
                    if (k + 1 < body.size() && body[k] == '-') {
                        ++k;
                        high = next_char(body, k);
                    }
                    if (high < low)
                        throw std::invalid_argument("a range in the pattern runs backwards");
                    t.ranges.push_back({low, high});
                }
                break;
            }
            default:
                t.ch = fold_case(c);
                break;
        }
        tokens_.push_back(std::move(t));
    }
}

bool LikePattern::token_matches(const Token& t, char32_t c) const {
    switch (t.kind) {
        case Kind::literal:
            return fold_case(c) == t.ch;
        case Kind::any_char:
            return true;
        case Kind::digit:
            return c >= '0' && c <= '9';
        case Kind::set: {
            char32_t folded = fold_case(c);
            bool in = false;
            for (const Range& r : t.ranges) {
                if ((c >= r.low && c <= r.high) ||
                    (folded >= fold_case(r.low) && folded <= fold_case(r.high))) {
                    in = true;
                    break;
                }
            }
            return in != t.negated;
        }
        case Kind::any_run:
            break;
    }
    return false;
}

bool LikePattern::matches(std::string_view value) const {
    // Greedy match with one backtrack point: the latest "*" absorbs one more character when
    // the rest fails. Every other token consumes exactly one character, so this is complete.
    std::size_t ti = 0, vi = 0;
    std::size_t star_token = std::string_view::npos, star_value = 0;
    while (vi < value.size()) {
        if (ti < tokens_.size() && tokens_[ti].kind == Kind::any_run) {
            star_token = ti++;
            star_value = vi;
            continue;
        }
        std::size_t next = vi;
        char32_t c = next_char(value, next);
        if (ti < tokens_.size() && token_matches(tokens_[ti], c)) {
            ++ti;
            vi = next;
            continue;
        }
        if (star_token == std::string_view::npos)
            return false;
        ti = star_token + 1;
        next_char(value, star_value);
        vi = star_value;
    }
    while (ti < tokens_.size() && tokens_[ti].kind == Kind::any_run)
        ++ti;
    return ti == tokens_.size();
}

}  // namespace qv::reference
