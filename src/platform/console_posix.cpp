#include "platform/console.h"

#include <unistd.h>

namespace kestrune {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void writeUtf8Output() {}

bool outputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

}  // namespace kestrune
