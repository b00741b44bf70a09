#include "run/plan/name_pattern.h"

#include <string>

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// A byte that begins no valid UTF-8 character stands for itself, above every code point.
constexpr char32_t kStrayByte = 0x110000;

// The characters of UTF-8 text; written into `out`, which keeps its room.
void decode(std::string_view text, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t code = length == 1 ? lead : lead & (0x3FU >> (length - 1));
        bool valid = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0U;
            valid = (next & 0xC0U) == 0x80U;
            code = (code << 6) | (next & 0x3FU);
        }
        if (!valid) {
            out.push_back(kStrayByte + lead);
            ++i;
            continue;
        }
        out.push_back(code);
        i += length;
    }
}

// The small letter of a capital in the scripts whose letters pair one to one.
char32_t folded(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c < 0xC0) return c;
    if (c <= 0xDE && c != 0xD7) return c + 0x20;                  // Latin-1: À to Þ, not ×
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek Α to Ω
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic А to Я
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ to Џ
    return c;
}

}  // namespace

NamePatterns::NamePatterns(std::string_view patterns) {
    std::u32string decoded;
    for (const std::string& raw : split(patterns, ';')) {
        const std::string_view pattern = trimBlanks(raw);
        if (pattern.empty()) continue;
        decode(pattern, decoded);
        add(decoded);
    }
}

void NamePatterns::add(std::u32string_view text) {
    Pattern& pattern = patterns_.emplace_back();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'*') {
            // Two stars in a row match what one does.
            if (pattern.empty() || pattern.back().kind != Kind::Star)
                pattern.push_back({Kind::Star});
            continue;
        }
        if (c == U'?') {
            pattern.push_back({Kind::Any});
            continue;
        }
        if (c == U'[') {
            std::size_t at = i + 1;
            const bool negated = at < text.size() && (text[at] == U'!' || text[at] == U'^');
            if (negated) ++at;
            const std::size_t start = at;
            // A "]" right after the opening one belongs to the set.
            std::size_t close = text.find(U']', at == text.size() ? at : at + 1);
            if (close != std::u32string_view::npos) {
                Token token{negated ? Kind::NotInSet : Kind::Set, 0,
                            static_cast<std::uint32_t>(ranges_.size()), 0};
                for (std::size_t k = start; k < close; ++k) {
                    if (k + 2 < close && text[k + 1] == U'-') {
                        ranges_.emplace_back(text[k], text[k + 2]);
                        k += 2;
                    } else {
                        ranges_.emplace_back(text[k], text[k]);
                    }
                }
                token.end = static_cast<std::uint32_t>(ranges_.size());
                pattern.push_back(token);
                i = close;
                continue;
            }
        }
        pattern.push_back({Kind::Character, folded(c)});
    }
}

bool NamePatterns::inSet(const Token& token, char32_t foldedChar, char32_t original) const {
    for (std::uint32_t r = token.first; r < token.end; ++r) {
        const auto [low, high] = ranges_[r];
        if ((original >= low && original <= high) ||
            (foldedChar >= folded(low) && foldedChar <= folded(high))) {
            return true;
        }
    }
    return false;
}

// One pass with a return to the last star: each token stands for one character but the
// star, so the star need only take one character more each time the rest fails.
bool NamePatterns::matches(const Pattern& pattern, std::u32string_view name) const {
    constexpr std::size_t kNoStar = static_cast<std::size_t>(-1);
    std::size_t t = 0;
    std::size_t n = 0;
    std::size_t starToken = kNoStar;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (t < pattern.size() && pattern[t].kind == Kind::Star) {
            starToken = ++t;
            starName = n;
            continue;
        }
        if (t < pattern.size()) {
            const Token& token = pattern[t];
            const char32_t c = folded(name[n]);
            bool fits = false;
            switch (token.kind) {
                case Kind::Character:
                    fits = token.character == c;
                    break;
                case Kind::Any:
                    fits = true;
                    break;
                case Kind::Set:
                    fits = inSet(token, c, name[n]);
                    break;
                case Kind::NotInSet:
                    fits = !inSet(token, c, name[n]);
                    break;
                case Kind::Star:
                    break;
            }
            if (fits) {
                ++t;
                ++n;
                continue;
            }
        }
        if (starToken == kNoStar) return false;
        t = starToken;
        n = ++starName;
    }
    while (t < pattern.size() && pattern[t].kind == Kind::Star) ++t;
    return t == pattern.size();
}

bool NamePatterns::matchesAny(std::string_view name) const {
    thread_local std::u32string decoded;
    decode(name, decoded);
    for (const Pattern& pattern : patterns_) {
        if (matches(pattern, decoded)) return true;
    }
    return false;
}

}  // namespace kestrune
