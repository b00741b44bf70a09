#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <numeric>
#include <optional>

#include "platform/file_support_posix.h"
#include "platform/folder_listing.h"

using kestrune::posix::typeFromMode;

namespace kestrune {

namespace {

FolderId idOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

EntryType typeFromDirent(int folderFd, const dirent& entry) {
    switch (entry.d_type) {
        case DT_REG:
            return EntryType::File;
        case DT_DIR:
            return EntryType::Folder;
        case DT_LNK:
            return EntryType::Link;
        case DT_UNKNOWN:
            break;
        default:
            return EntryType::Other;
    }
    struct stat st {};
    if (fstatat(folderFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryType::Other;
    return typeFromMode(st.st_mode);
}

// A mount point (also a bind mount of the same file system) is not to be entered.
void describeFolder(int folderFd, const FolderId& parent, FolderEntry& entry) {
    struct statx stx {};
    if (statx(folderFd, entry.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO,
              &stx) != 0) {
        return;
    }
    entry.id = {static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)),
                stx.stx_ino};
    const bool mountRoot = (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                           (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    entry.sameFileSystem = entry.id.device == parent.device && !mountRoot;
}

// An identity no folder has when the folder cannot be looked at, so that no subfolder
// counts as being on its file system.
FolderId identityOf(int folderFd) {
    struct stat st {};
    if (fstat(folderFd, &st) != 0) return {~std::uint64_t{0}, 0};
    return idOf(st);
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Sorts an order of indices and moves each entry once, rather than moving entries about
// while sorting: a walk sorts every folder it lists.
void sortByName(std::vector<FolderEntry>& entries) {
    std::vector<std::uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(), [&entries](std::uint32_t a, std::uint32_t b) {
        return entries[a].name < entries[b].name;
    });
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const std::uint32_t i : order) sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

}  // namespace

FolderListing listFolder(const std::string& folder) {
    FolderListing listing;
    // opendir rather than open and fdopendir: the latter costs two more system calls a
    // folder, which tells on a walk of many small folders.
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        listing.error = errno;
        return listing;
    }
    listing.listed = true;
    const int fd = dirfd(dir);
    // The folder's own device is only needed to judge its subfolders; most folders of a
    // deep tree have none and need no look at themselves.
    std::optional<FolderId> self;
    while (const dirent* raw = readdir(dir)) {
        if (isDotOrDotDot(raw->d_name)) continue;
        FolderEntry entry;
        entry.name = raw->d_name;
        entry.type = typeFromDirent(fd, *raw);
        if (entry.type == EntryType::Folder) {
            if (!self) self = identityOf(fd);
            describeFolder(fd, *self, entry);
        }
        listing.entries.push_back(std::move(entry));
    }
    closedir(dir);
    sortByName(listing.entries);
    return listing;
}

int readIdentity(const std::string& path, EntryIdentity& identity) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno;
    identity = posix::identityOf(st);
    return 0;
}

bool folderIdentity(const std::string& path, FolderId& id) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id = idOf(st);
    return true;
}

}  // namespace kestrune
