#include "cli/field_escape.h"

#include <cstring>
#include <string_view>

#include "run/history/line_fields.h"

namespace kestrune::cli {

// The usual text holds none of them: one search of the library's, which compares many
// bytes at once. It stops at a zero byte, so text holding one is taken for text to escape,
// and the careful way of appendField is right for any text.
bool isPlainField(const std::string& text) {
    return std::strcspn(text.c_str(), "\t\n\r\\") == text.size();
}

// Done for every path of a long run: a path without those characters, the usual case, is
// found in one pass and goes in as it is; any other is escaped as the journal's fields are.
void appendField(std::string& line, const std::string& text) {
    if (isPlainField(text)) {
        line.append(text);
        return;
    }
    kestrune::appendField(line, std::string_view(text));
}

std::string field(const std::string& text) {
    std::string escaped;
    appendField(escaped, text);
    return escaped;
}

}  // namespace kestrune::cli
