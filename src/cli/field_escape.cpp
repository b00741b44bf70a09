#include "cli/field_escape.h"

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

}  // namespace

// The usual text holds none of them: one search of the library's, which compares many
// bytes at once. It stops at a zero byte, so text holding one is taken for text to escape,
// and the careful way of appendField is right for any text.
bool isPlainField(const std::string& text) {
    return std::strcspn(text.c_str(), "\t\n\r\\") == text.size();
}

// Done for every path of a long run: a path without those characters, the usual case, is
// found in one pass and goes in as it is.
void appendField(std::string& line, const std::string& text) {
    if (isPlainField(text)) {
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
