#include "platform/console.h"

namespace kestrune {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void writeUtf8Output() {}

}  // namespace kestrune
