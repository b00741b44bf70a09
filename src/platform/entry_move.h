#pragma once

#include <string>

#include "platform/file_actions.h"

namespace kestrune {

// Moves a file, link or folder to target, replacing nothing, also to another file system:
// there a folder is copied whole with the modes and times of everything in it, the copy is
// put on disk, and only then is the source removed. A failed copy leaves the source as it
// was and no partial copy; a source that cannot be removed in full stays beside its copy.
ActionResult moveWhole(const std::string& source, const std::string& target);

// Removes a file or link that a run made, read-only or not, when it is still that entry
// (sameEntry); a folder fails.
ActionResult removeMadeEntry(const std::string& path, const EntryIdentity& expected);

}  // namespace kestrune
