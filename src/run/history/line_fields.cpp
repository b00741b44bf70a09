#include "run/history/line_fields.h"

namespace kestrune {

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

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

// A field without anything to escape, the usual case, goes in by one append.
void appendField(std::string& line, std::string_view text) {
    if (text.find_first_of("\t\n\r\\") == std::string_view::npos) {
        line.append(text);
        return;
    }
    for (const char c : text) {
        const char* escape = escapeOf(c);
        if (escape != nullptr) {
            line.append(escape);
        } else {
            line += c;
        }
    }
}

std::string escapedField(std::string_view text) {
    std::string escaped;
    appendField(escaped, text);
    return escaped;
}

std::optional<std::vector<std::string>> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        if (!unescape(line.substr(start, end - start), fields.emplace_back())) return std::nullopt;
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace kestrune
