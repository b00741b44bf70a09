#pragma once

#include <string>

namespace kestrune::cli {

// Every name and value the commands print goes through here: TAB, line feed, carriage return
// and the backslash itself become the C escapes \t, \n, \r and \\, so that every line of
// output splits safely into its fields.
void appendField(std::string& line, const std::string& text);
// Whether the text goes in as it is, with nothing to escape.
bool isPlainField(const std::string& text);
std::string field(const std::string& text);

}  // namespace kestrune::cli
