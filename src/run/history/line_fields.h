#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Lines of TAB-separated fields that hold any text: TAB, line feed, carriage return and the
// backslash itself are written as the C escapes \t \n \r \\, so a line always splits back
// into the fields it was made of.
void appendField(std::string& line, std::string_view text);
std::string escapedField(std::string_view text);

// The fields of one line (without its line feed), unescaped, into `fields`, whose strings are
// used again from line to line; false for a broken escape.
bool splitFields(std::string_view line, std::vector<std::string>& fields);

}  // namespace kestrune
