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

bool hasEscapes(const std::string& text) {
    for (const char c : {'\t', '\n', '\r', '\\'}) {
        if (std::memchr(text.data(), c, text.size()) != nullptr) return true;
    }
    return false;
}

}  // namespace

// Done for every path of a long run: a path without those characters, the usual case, is
// found by whole-buffer searches and goes in as it is.
void appendField(std::string& line, const std::string& text) {
    if (!hasEscapes(text)) {
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
