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
    std::size_t escape = text.find('\\');
    out.assign(text.substr(0, escape));
    while (escape != std::string_view::npos) {
        if (escape + 1 == text.size()) return false;
        switch (text[escape + 1]) {
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
        const std::size_t from = escape + 2;
        escape = text.find('\\', from);
        out.append(text.substr(from, escape == std::string_view::npos ? escape : escape - from));
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

bool splitFields(std::string_view line, std::vector<std::string>& fields) {
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        if (count == fields.size()) fields.emplace_back();
        if (!unescape(line.substr(start, end - start), fields[count++])) return false;
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    fields.resize(count);
    return true;
}

}  // namespace kestrune
