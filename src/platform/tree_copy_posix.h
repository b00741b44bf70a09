#pragma once

// Copying and removing whole entries through open folders, for the POSIX file actions;
// only *_posix.cpp files include this.

#include <sys/stat.h>

#include <atomic>
#include <string>

#include "platform/file_actions.h"

namespace kestrune::posix {

inline ActionResult lastError() {
    return ActionResult::failure(errno);
}

// Copies the entry `name` of folder `from` (whose status is `st`) to `newName` in folder `to`:
// a file with its content, mode, times, owner and extended attributes where allowed, a link
// as a link, a folder with everything in it (each entry recorded in `manifest`). Fails with
// ECANCELED when *stop turns true between chunks. Nothing is left behind on failure.
ActionResult copyEntry(int from, const std::string& name, const struct stat& st, int to,
                       const std::string& newName, const std::atomic<bool>* stop,
                       CopyManifest& manifest);

// Removes the folder `name` of `parent` with everything in it. Given a manifest, only the
// entries it holds, as it holds them: anything added or changed since stays, and so does
// the folder, which then fails.
ActionResult removeTree(int parent, const std::string& name, const CopyManifest* manifest);

}  // namespace kestrune::posix
