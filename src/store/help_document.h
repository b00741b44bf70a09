#pragma once

#include <string>

namespace kestrune {

// The help to open: kestrune.chm in the executable's folder (ends with "/") when one is
// there, else the HTML help page installed with the program, found from that folder as the
// install lays it out (also in the build folder).
std::string helpDocumentPath(const std::string& executableFolder);

}  // namespace kestrune
