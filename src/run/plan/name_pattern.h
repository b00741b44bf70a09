#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrune {

// Name patterns separated by ";" (the `names` and `exclude` keys), each matched against a
// whole entry name: "*" any characters, "?" one character, "[...]" one of the characters
// inside ("a-z" a range; "!" or "^" first: none of them; "]" first: itself). Letters match
// in either case (A-Z, the Latin-1 letters, Greek and Cyrillic). Blanks around a pattern are
// dropped, empty patterns too; a "[" without its "]" is a plain character. Names and
// patterns are UTF-8; a byte that is not is a character of its own.
class NamePatterns {
  public:
    NamePatterns() = default;
    explicit NamePatterns(std::string_view patterns);

    bool empty() const { return patterns_.empty(); }
    // Whether some pattern matches the whole name.
    bool matchesAny(std::string_view name) const;

  private:
    enum class Kind : std::uint8_t { Character, Any, Star, Set, NotInSet };
    struct Token {
        Kind kind = Kind::Character;
        char32_t character = 0;   // folded, for Kind::Character
        std::uint32_t first = 0;  // the set's ranges in ranges_, for the two set kinds
        std::uint32_t end = 0;
    };
    using Pattern = std::vector<Token>;

    void add(std::u32string_view pattern);
    bool inSet(const Token& token, char32_t folded, char32_t original) const;
    bool matches(const Pattern& pattern, std::u32string_view name) const;

    std::vector<Pattern> patterns_;
    std::vector<std::pair<char32_t, char32_t>> ranges_;
};

}  // namespace kestrune
