#pragma once

#include <string>

namespace kestrune {

// The folder of the running executable, ending with "/". The program's files live there,
// so the window program and kestrune-cli installed side by side share them.
std::string programFolder();

}  // namespace kestrune
