#include "cli/field_escape.h"

#include <cstdint>
#include <cstring>

namespace kestrune::cli {

namespace {

const char* escapeOf(char c) {
    switch (c) {
        case '\t':
            return "\\t";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\\':
            return "\\\\";
        default:
            return nullptr;
    }
}

bool needsLook(unsigned char byte) {
    return byte < 0x20 || byte == '\\';
}

// A quick look for what may need escaping: any control character or a backslash, eight
// bytes at a time. A word holds a byte below n where (word - n each) & ~word has a high bit.
bool mayHaveEscapes(const std::string& text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    std::size_t at = 0;
    for (; at + sizeof(std::uint64_t) <= text.size(); at += sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        const std::uint64_t control = (word - kOnes * 0x20) & ~word;
        const std::uint64_t others = word ^ (kOnes * '\\');  // zero where a backslash is
        const std::uint64_t backslash = (others - kOnes) & ~others;
        if (((control | backslash) & kHigh) != 0) return true;
    }
    for (; at < text.size(); ++at) {
        if (needsLook(static_cast<unsigned char>(text[at]))) return true;
    }
    return false;
}

}  // namespace

// Done for every path of a long run: a path without those characters, the usual case, is
// found in one pass and goes in as it is.
void appendField(std::string& line, const std::string& text) {
    if (!mayHaveEscapes(text)) {
        line.append(text);
        return;
    }
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* escape = escapeOf(text[i]);
        if (escape == nullptr) continue;
        line.append(text, plain, i - plain).append(escape);
        plain = i + 1;
    }
    line.append(text, plain, std::string::npos);
}

std::string field(const std::string& text) {
    std::string escaped;
    appendField(escaped, text);
    return escaped;
}

}  // namespace kestrune::cli
