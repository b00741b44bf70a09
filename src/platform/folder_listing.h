#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/error_codes.h"
#include "platform/folder_handle.h"

namespace kestrune {

enum class EntryType { File, Folder, Link, Other };

struct FolderEntry {
    std::string name;
    EntryType type = EntryType::Other;  // a symbolic link is a Link, never what it points to
    // For a folder: whether a walk may enter it, i.e. it lies on the same file system as
    // the folder listing it and is not a mount point. Filled in for folders only.
    bool sameFileSystem = false;
    FolderId id;  // for folders only
    // The entry's inode as the listing gives it, without a look at the entry itself.
    std::uint64_t inode = 0;
};

struct FolderListing {
    bool listed = false;               // false when the folder could not be opened
    int error = 0;                     // why not, an errno value (ESTALE: replaced since listed)
    std::vector<FolderEntry> entries;  // in byte order of names, without "." and ".."
    OpenFolder folder;                 // the listed folder, open while the listing is kept
};

// Lists the folder at that path, following symbolic links: the walk's first folder.
FolderListing listFolder(const std::string& path);
// Lists a subfolder of an open folder when it is still the folder `id` listed there;
// a symbolic link or another folder put in its place since is not listed. A listing that
// is only shown, never acted on, may leave out the check for another folder (`checked`
// false): a symbolic link is still never followed.
FolderListing listFolderBelow(const OpenFolder& parent, const std::string& name, const FolderId& id,
                              bool checked = true);

// The identity of the folder the path names (following symbolic links), if it is one.
bool folderIdentity(const std::string& path, FolderId& id);

// The folder the path names, reached through every link on the way, as a path without links
// (real), with its identity; false when there is no folder there.
bool realFolder(const std::string& path, std::string& real, FolderId& id);

}  // namespace kestrune
