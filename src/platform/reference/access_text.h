#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text rules of the Access engine that the reference engine reproduces: comparison without
// regard to letter case, and the LIKE pattern language.
namespace qv::reference {

// Reads one character of UTF-8 text at `pos` and advances past it. A byte that does not start
// a valid sequence is taken as one Latin-1 character, so any byte string compares and matches.
char32_t next_char(std::string_view text, std::size_t& pos);

// The character with letter case removed (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic).
char32_t fold_case(char32_t c);

// Three-way comparison without regard to letter case: <0, 0 or >0.
int compare_folded(std::string_view a, std::string_view b);

// The text with letter case folded, each character as UTF-8: two texts have the same key
// exactly when compare_folded finds them equal.
std::string folded_key(std::string_view text);

// A compiled Access LIKE pattern: "?" one character, "#" one digit, "*" any run, "[a-b]",
// "[abc]" one character of the set, "[!...]" one character outside it; other characters stand
// for themselves. Matching ignores letter case.
class LikePattern {
  public:
    // Throws std::invalid_argument for a "[" without its "]".
    explicit LikePattern(std::string_view pattern);
    bool matches(std::string_view value) const;

  private:
    enum class Kind : std::uint8_t { literal, any_char, digit, any_run, set };
    struct Range {
        char32_t low;
        char32_t high;
    };
    struct Token {
        Kind kind = Kind::literal;
        bool negated = false;
        char32_t ch = 0;
        std::vector<Range> ranges;
    };
    bool token_matches(const Token& t, char32_t c) const;

    std::vector<Token> tokens_;
};

}  // namespace qv::reference
