#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

// The desktop's trash, kept as the freedesktop.org rules say, so a file manager lists what a
// run put there and can put it back, and the run's undo can do so too. These are its rules;
// the moves into and out of it are a plan's steps, carried out by the executor.

// A trash folder (holding files/ and info/) and the folder that its .trashinfo paths are
// relative to: the top folder of its file system, or empty for the home trash, whose paths
// are absolute.
struct TrashChoice {
    std::string folder;
    std::string top;
};

// The trash for entries at `realFolder` (a folder path without links) on `device`: the home
// trash when they lie on its file system; else the top folder's trash of their file system,
// $topdir/.Trash/$uid when $topdir/.Trash is a real folder (no link) with the sticky bit,
// else $topdir/.Trash-$uid, whichever exists as this user's own folder or can be made;
// else the home trash, which they then reach by a copy. Nothing is made here.
TrashChoice chooseTrash(const std::string& realFolder, std::uint64_t device,
                        const std::string& homeTrash);

// $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
std::string homeTrashFolder();

// The folders of a trash folder that hold the trashed entries and their records.
std::string trashFilesFolder(const std::string& trashFolder);
std::string trashInfoFolder(const std::string& trashFolder);
// The trash folder that holds that files folder: trashFilesFolder undone.
std::string trashFolderOf(const std::string& filesFolder);

// The names an entry gets in the trash at the given attempt (from 1): the entry's name in the
// files folder, and its record's in the info folder.
struct TrashNames {
    std::string file;
    std::string info;
};
TrashNames trashNames(const std::string& name, int attempt);
// The record's name of a trashed entry's name.
std::string trashInfoName(const std::string& trashedName);

// The record of an entry at `realPath` (`size` bytes) trashed now into a trash whose paths
// are relative to `top` (empty: absolute).
std::string trashInfoText(const std::string& realPath, std::uint64_t size, const std::string& top);

// The path a record names, made absolute with the trash's top folder; empty when it names
// none.
std::string trashInfoPath(const std::string& text, const std::string& top);

}  // namespace kestrune
