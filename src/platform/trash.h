#pragma once

#include <memory>
#include <string>

#include "platform/file_actions.h"

namespace kestrune {

// Where a trashed entry went: the entry itself under the trash's files/ folder, and the
// .trashinfo under its info/ folder that tells the desktop where it came from.
struct TrashPlace {
    std::string file;
    std::string info;
};

struct TrashResult {
    ActionResult result;
    TrashPlace place;  // filled in on success
};

struct RestoreResult {
    ActionResult result;
    std::string path;  // the original path, filled in as soon as the .trashinfo was read
};

// The desktop's trash, kept as the freedesktop.org rules say, so a file manager lists what a
// run put there and can put it back, and the run's undo can do so too.
class Trash {
  public:
    virtual ~Trash() = default;

    // Moves a file, link or folder into the trash of its file system: the home trash for the
    // home file system, else the top-folder trash ($topdir/.Trash/$uid when $topdir/.Trash is
    // a sticky folder and no link, else $topdir/.Trash-$uid), or the home trash by a copy
    // where neither can be used. Nothing in the trash is ever replaced.
    virtual TrashResult put(const std::string& path) = 0;

    // Puts a trashed entry (its path under files/) back at the path its .trashinfo names,
    // making missing parent folders, and removes the .trashinfo. Fails, touching nothing,
    // when that path is taken.
    virtual RestoreResult restore(const std::string& trashedFile) = 0;
};

// The trash with its home trash at homeTrash (a test's scratch folder, or homeTrashFolder()).
std::unique_ptr<Trash> makeTrash(const std::string& homeTrash);

// $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
std::string homeTrashFolder();

// The .trashinfo that belongs to an entry under a trash's files/ folder.
std::string trashInfoOf(const std::string& trashedFile);

}  // namespace kestrune
