#pragma once

#include <string>
#include <vector>

namespace kestrune {

// The program's arguments in UTF-8, the program's name first: Windows hands a program its
// arguments in the system's code page, which cannot hold every name.
std::vector<std::string> programArguments(int argc, char** argv);

// The standard output and error pass on the bytes written, UTF-8 with "\n" ending each line,
// as on Linux: on Windows not turned into "\r\n", and a console shows them as UTF-8.
void writeUtf8Output();

// Whether the standard output is a terminal, where somebody reads each line as it comes.
bool outputIsTerminal();

}  // namespace kestrune
