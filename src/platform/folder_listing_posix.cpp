#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/entry_identity.h"
#include "platform/file_support_posix.h"
#include "platform/folder_listing.h"

namespace kestrune {

FolderHandle::~FolderHandle() {
    ::close(fd_);
}

namespace {

using posix::typeFromMode;

// Room for a few hundred names per system call.
constexpr std::size_t kListingBuffer = 32 * 1024;

FolderId idOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

EntryType typeFromDirent(int folderFd, const char* name, unsigned char type) {
    switch (type) {
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
    if (fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryType::Other;
    return typeFromMode(st.st_mode);
}

// A mount point (also a bind mount of the same file system) is not to be entered.
void describeFolder(int folderFd, std::uint64_t device, FolderEntry& entry) {
    struct statx stx {};
    if (statx(folderFd, entry.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO,
              &stx) != 0) {
        return;
    }
    entry.id = {static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)),
                stx.stx_ino};
    const bool mountRoot = (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                           (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    entry.sameFileSystem = entry.id.device == device && !mountRoot;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The first eight bytes of a name as a number that orders as the bytes do: most names of
// a folder differ there, so most comparisons of a sort need no look at the names.
std::uint64_t orderPrefix(const std::string& name) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0U;
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

// Sorts an order of indices and moves each entry once, rather than moving entries about
// while sorting: a walk sorts every folder it lists. A name holds no zero byte, so a name
// that is a prefix of another sorts first by its prefix as by its bytes.
void sortByName(std::vector<FolderEntry>& entries) {
    struct Key {
        std::uint64_t prefix;
        std::uint32_t index;
    };
    std::vector<Key> order(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i) order[i] = {orderPrefix(entries[i].name), i};
    std::sort(order.begin(), order.end(), [&entries](const Key& a, const Key& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        return entries[a.index].name < entries[b.index].name;
    });
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const Key& key : order) sorted.push_back(std::move(entries[key.index]));
    entries = std::move(sorted);
}

// Reads the open folder's entries with getdents64 straight into the listing: no directory
// stream, so a folder costs its open, its reads and its close.
FolderListing readEntries(int fd, std::string path, std::optional<FolderId> expected) {
    FolderListing listing;
    struct stat self {};
    if (fstat(fd, &self) != 0 || (expected && !(idOf(self) == *expected))) {
        listing.error = expected ? ESTALE : errno;
        ::close(fd);
        return listing;
    }
    listing.folder = std::make_shared<const FolderHandle>(fd, std::move(path),
                                                          static_cast<std::uint64_t>(self.st_dev));
    // One buffer for every listing of the thread, never zeroed: a walk lists thousands of
    // folders, and a fresh large block each time makes the allocator tidy up its heap.
    thread_local const std::unique_ptr<char[]> buffer(new char[kListingBuffer]);
    for (;;) {
        const ssize_t got = getdents64(fd, buffer.get(), kListingBuffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            listing.error = errno;
            listing.entries.clear();
            listing.folder.reset();
            return listing;
        }
        if (got == 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* raw = reinterpret_cast<const dirent64*>(buffer.get() + at);
            at += raw->d_reclen;
            if (isDotOrDotDot(raw->d_name)) continue;
            FolderEntry entry;
            entry.name = raw->d_name;
            entry.type = typeFromDirent(fd, raw->d_name, raw->d_type);
            if (entry.type == EntryType::Folder) describeFolder(fd, self.st_dev, entry);
            listing.entries.push_back(std::move(entry));
        }
    }
    listing.listed = true;
    sortByName(listing.entries);
    return listing;
}

FolderListing notOpened(int error) {
    FolderListing listing;
    listing.error = error;
    return listing;
}

}  // namespace

FolderListing listFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return notOpened(errno);
    return readEntries(fd, path.empty() || path.back() != '/' ? path + "/" : path, std::nullopt);
}

FolderListing listFolderBelow(const OpenFolder& parent, const std::string& name, const FolderId& id) {
    const int fd =
        openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return notOpened(errno == ELOOP ? ENOTDIR : errno);
    return readEntries(fd, parent->path() + name + "/", id);
}

int readIdentity(const std::string& path, EntryIdentity& identity) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno;
    identity = posix::identityOf(st);
    return 0;
}

int readIdentityIn(const OpenFolder& folder, const std::string& name, EntryIdentity& identity) {
    struct stat st {};
    if (fstatat(folder->fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
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
