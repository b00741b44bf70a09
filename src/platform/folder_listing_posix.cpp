#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/entry_identity.h"
#include "platform/file_support_posix.h"
#include "platform/folder_listing.h"

namespace kestrune {

FolderHandle::~FolderHandle() {
    ::close(handle_);
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
// a folder differ there, so most comparisons of a sort need no look at the names. A name
// holds no zero byte, so a name that begins another sorts first by its number too.
std::uint64_t orderPrefix(std::string_view name) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = i < name.size() ? static_cast<unsigned char>(name[i]) : 0U;
        prefix = (prefix << 8) | byte;
    }
    return prefix;
}

// An entry as read: its name lies in the names read so far.
struct ReadEntry {
    std::uint64_t prefix;
    std::uint64_t inode;
    std::uint32_t offset;
    std::uint32_t length;
    EntryType type;
};

// What a listing reads before it makes its entries, kept for every listing of the thread:
// a walk lists thousands of folders. The buffer is never zeroed; the kernel fills what it
// returns.
struct ListingScratch {
    std::unique_ptr<char[]> buffer{new char[kListingBuffer]};
    std::vector<ReadEntry> read;
    std::string names;
};

// Reads the open folder's entries with getdents64: no directory stream, so a folder costs
// its open, its reads and its close. The entries are sorted as read and then made once
// each, in order. False with errno set when a read fails.
bool readNames(int fd, ListingScratch& scratch) {
    scratch.read.clear();
    scratch.names.clear();
    for (;;) {
        const ssize_t got = getdents64(fd, scratch.buffer.get(), kListingBuffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* raw = reinterpret_cast<const dirent64*>(scratch.buffer.get() + at);
            at += raw->d_reclen;
            if (isDotOrDotDot(raw->d_name)) continue;
            const std::string_view name(raw->d_name);
            scratch.read.push_back({orderPrefix(name), static_cast<std::uint64_t>(raw->d_ino),
                                    static_cast<std::uint32_t>(scratch.names.size()),
                                    static_cast<std::uint32_t>(name.size()),
                                    typeFromDirent(fd, raw->d_name, raw->d_type)});
            scratch.names.append(name);
        }
    }
    const std::string_view names(scratch.names);
    std::sort(scratch.read.begin(), scratch.read.end(),
              [names](const ReadEntry& a, const ReadEntry& b) {
                  if (a.prefix != b.prefix) return a.prefix < b.prefix;
                  return names.substr(a.offset, a.length) < names.substr(b.offset, b.length);
              });
    return true;
}

// The folder is what `expected` says when that is given, else it is looked at.
FolderListing readEntries(int fd, std::string path, std::optional<FolderId> expected,
                          bool checked) {
    FolderListing listing;
    FolderId self;
    if (expected && !checked) {
        self = *expected;
    } else {
        struct stat st {};
        const bool seen = fstat(fd, &st) == 0;
        if (!seen || (expected && !(idOf(st) == *expected))) {
            listing.error = expected ? ESTALE : errno;
            ::close(fd);
            return listing;
        }
        self = idOf(st);
    }
    listing.folder = std::make_shared<const FolderHandle>(fd, std::move(path), self);
    thread_local ListingScratch scratch;
    if (!readNames(fd, scratch)) {
        listing.error = errno;
        listing.folder.reset();
        return listing;
    }
    listing.entries.resize(scratch.read.size());
    for (std::size_t i = 0; i < scratch.read.size(); ++i) {
        const ReadEntry& read = scratch.read[i];
        FolderEntry& entry = listing.entries[i];
        entry.name.assign(scratch.names, read.offset, read.length);
        entry.type = read.type;
        entry.inode = read.inode;
        if (entry.type == EntryType::Folder) describeFolder(fd, self.device, entry);
    }
    listing.listed = true;
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
    return readEntries(fd, path.empty() || path.back() != '/' ? path + "/" : path, std::nullopt,
                       true);
}

FolderListing listFolderBelow(const OpenFolder& parent, const std::string& name, const FolderId& id,
                              bool checked) {
    const int fd =
        openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return notOpened(errno == ELOOP ? ENOTDIR : errno);
    return readEntries(fd, parent->path() + name + "/", id, checked);
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

bool realFolder(const std::string& path, std::string& real, FolderId& id) {
    char* resolved = ::realpath(path.empty() ? "/" : path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    real = resolved;
    std::free(resolved);
    return folderIdentity(real, id);
}

}  // namespace kestrune
