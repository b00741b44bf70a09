#pragma once

#include <string>

#include "platform/file_actions.h"

namespace kestrune {

// Creates the folder together with every missing parent. On failure the error text names
// the folder that could not be made.
ActionResult makeFolderPath(FileActions& files, const std::string& folder);

}  // namespace kestrune
