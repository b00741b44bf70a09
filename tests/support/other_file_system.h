#pragma once

#include <string>

#include "support/scratch_dir.h"

namespace kestrune::test {

// A new, empty folder on another file system than the scratch folder's, for moves across file
// systems, named with `prefix`; empty when there is none. The caller removes it.
std::string folderOnAnotherFileSystem(const ScratchDir& scratch,
                                      const std::string& prefix = "kestrune-test-");

}  // namespace kestrune::test
