#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_actions.h"
#include "platform/file_support_posix.h"
#include "platform/tree_copy_posix.h"

namespace kestrune {

namespace {

using failures::changed;
using failures::replacedFolder;
using posix::Descriptor;
using posix::identityOf;
using posix::lastError;

constexpr std::size_t kSmallFileLimit = 1 << 16;

int statAt(int folder, const std::string& name, struct stat& st) {
    return fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

ActionResult checkListed(int folder, const std::string& name, const EntryIdentity& expected,
                         struct stat& st) {
    if (statAt(folder, name, st) != 0) return lastError();
    if (!asListed(identityOf(st), expected)) return changed();
    return ActionResult::success();
}

ActionResult identityAt(int folder, const std::string& name, EntryIdentity& made) {
    struct stat st {};
    if (statAt(folder, name, st) != 0) return lastError();
    made = identityOf(st);
    return ActionResult::success();
}

// Without RENAME_NOREPLACE a file is linked to its new name, which fails when the name is
// taken, and a folder first claims its new name as an empty folder that it then replaces.
ActionResult renameByLinking(int from, const std::string& name, int to,
                             const std::string& newName) {
    struct stat st {};
    if (statAt(from, name, st) != 0) return lastError();
    if (S_ISDIR(st.st_mode)) {
        if (mkdirat(to, newName.c_str(), 0700) != 0) return lastError();
        if (renameat(from, name.c_str(), to, newName.c_str()) != 0) {
            const ActionResult result = lastError();
            unlinkat(to, newName.c_str(), AT_REMOVEDIR);
            return result;
        }
        return ActionResult::success();
    }
    if (linkat(from, name.c_str(), to, newName.c_str(), 0) != 0) return lastError();
    if (unlinkat(from, name.c_str(), 0) != 0) {
        const ActionResult result = lastError();
        unlinkat(to, newName.c_str(), 0);
        return result;
    }
    return ActionResult::success();
}

ActionResult renameNoReplace(int from, const std::string& name, int to,
                             const std::string& newName) {
    if (renameat2(from, name.c_str(), to, newName.c_str(), RENAME_NOREPLACE) == 0) {
        return ActionResult::success();
    }
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        const int original = errno;
        ActionResult result = renameByLinking(from, name, to, newName);
        // A folder moved into itself is refused as EINVAL by both ways; keep the first text.
        return result.code == EINVAL ? ActionResult::failure(original) : result;
    }
    return lastError();
}

OpenFolder handleOf(int fd, std::string path) {
    struct stat st {};
    fstat(fd, &st);
    return std::make_shared<const FolderHandle>(
        fd, std::move(path),
        FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
}

class PosixFileActions final : public FileActions {
  public:
    ActionResult openRoot(const std::string& path, OpenFolder& out) override {
        const int fd =
            ::open(path.empty() ? "/" : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return lastError();
        out = handleOf(fd, path.empty() || path.back() != '/' ? path + "/" : path);
        return ActionResult::success();
    }

    ActionResult openBelow(const OpenFolder& parent, const std::string& name,
                           OpenFolder& out) override {
        const int fd =
            openat(parent->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (error == ELOOP || error == ENOTDIR) {
                return replacedFolder(error, parent->path() + name + "/");
            }
            return ActionResult::failure(error);
        }
        out = handleOf(fd, parent->path() + name + "/");
        return ActionResult::success();
    }

    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override {
        const bool made = mkdirat(parent->fd(), name.c_str(), private_ ? 0700 : 0777) == 0;
        const ActionResult result = made ? ActionResult::success() : lastError();
        if (!private_ || (!made && result.code != EEXIST)) return result;
        struct stat st {};
        if (statAt(parent->fd(), name, st) != 0) return lastError();
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
            return ActionResult::failure(EPERM,
                                         parent->path() + name + " is not this user's folder");
        }
        return result;
    }

    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        struct stat st {};
        if (statAt(folder->fd(), name, st) != 0) return lastError();
        if (!identityOf(st).sameEntry(expected)) return changed();
        if (unlinkat(folder->fd(), name.c_str(), AT_REMOVEDIR) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult readShape(const OpenFolder& folder, const std::string& name,
                           FolderShape& out) override {
        struct stat st {};
        if (statAt(folder->fd(), name, st) != 0) return lastError();
        out = {static_cast<std::uint32_t>(st.st_mode & 07777), posix::nanoseconds(st.st_atim),
               posix::nanoseconds(st.st_mtim)};
        return ActionResult::success();
    }

    ActionResult giveShape(const OpenFolder& folder, const std::string& name,
                           const FolderShape& shape) override {
        Descriptor fd(
            openat(folder->fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) return lastError();
        const timespec times[2] = {posix::timeOf(shape.accessedNs),
                                   posix::timeOf(shape.modifiedNs)};
        if (fchmod(fd.get(), static_cast<mode_t>(shape.mode & 07777)) != 0 ||
            futimens(fd.get(), times) != 0) {
            return lastError();
        }
        return ActionResult::success();
    }

    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        struct stat st {};
        ActionResult result = checkListed(from->fd(), name, expected, st);
        if (!result.ok()) return result;
        result = renameNoReplace(from->fd(), name, to->fd(), newName);
        if (!result.ok()) return result;
        // The entry checked is the entry renamed; another look would only learn the status
        // change time the rename gave it, which nothing after asks.
        made = identityOf(st);
        made.changedNs = 0;
        return result;
    }

    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override {
        struct stat st {};
        ActionResult result = checkListed(folder->fd(), name, expected, st);
        if (!result.ok()) return result;
        if (S_ISDIR(st.st_mode)) return ActionResult::failure(EISDIR);
        if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
            return ActionResult::failure(EACCES, "Read-only file");
        }
        if (unlinkat(folder->fd(), name.c_str(), 0) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override {
        struct stat st {};
        if (statAt(folder->fd(), name, st) != 0) return lastError();
        const EntryIdentity now = identityOf(st);
        const bool asLeft = now.sameEntry(expected) &&
                            (S_ISDIR(st.st_mode) ||
                             (now.size == expected.size && now.modifiedNs == expected.modifiedNs));
        if (!asLeft) return changed();
        if (S_ISDIR(st.st_mode)) return posix::removeTree(folder->fd(), name, nullptr);
        if (unlinkat(folder->fd(), name.c_str(), 0) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        struct stat st {};
        if (statAt(from->fd(), name, st) != 0) return lastError();
        if (!identityOf(st).sameEntry(expected)) return changed();
        out = {};
        out.name = temporaryName;
        ActionResult result =
            posix::copyEntry(from->fd(), name, st, to->fd(), temporaryName, stop, out.manifest);
        if (!result.ok()) return result;
        out.source = identityOf(st);
        out.size = static_cast<std::uint64_t>(st.st_size);
        return identityAt(to->fd(), temporaryName, out.made);
    }

    ActionResult flush(const OpenFolder& folder) override {
        if (syncfs(folder->fd()) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        const ActionResult result = renameNoReplace(folder->fd(), copy.name, folder->fd(), name);
        if (!result.ok()) return result;
        return identityAt(folder->fd(), name, made);
    }

    void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) override {
        struct stat st {};
        if (statAt(folder->fd(), copy.name, st) != 0) return;
        if (S_ISDIR(st.st_mode)) {
            posix::removeTree(folder->fd(), copy.name, nullptr);
        } else {
            unlinkat(folder->fd(), copy.name.c_str(), 0);
        }
    }

    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        struct stat st {};
        if (statAt(from->fd(), name, st) != 0) return lastError();
        if (S_ISDIR(st.st_mode)) {
            if (!identityOf(st).sameEntry(copy.source)) return failures::changedWhileCopied();
            return posix::removeTree(from->fd(), name, &copy.manifest);
        }
        if (!(identityOf(st) == copy.source)) return failures::changedWhileCopied();
        if (unlinkat(from->fd(), name.c_str(), 0) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override {
        Descriptor file(openat(folder->fd(), name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file.valid()) return lastError();
        const int code = posix::writeFully(::write, file.get(), content.data(), content.size());
        if (code != 0 || !file.close()) {
            const int error = code != 0 ? code : errno;
            unlinkat(folder->fd(), name.c_str(), 0);
            return ActionResult::failure(error);
        }
        return ActionResult::success();
    }

    ActionResult readSmallFile(const OpenFolder& folder, const std::string& name,
                               std::string& content) override {
        Descriptor file(openat(folder->fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!file.valid()) return lastError();
        content.resize(kSmallFileLimit);
        std::size_t got = 0;
        while (got < content.size()) {
            const ssize_t n = ::read(file.get(), content.data() + got, content.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return lastError();
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        content.resize(got);
        return ActionResult::success();
    }

    bool exists(const std::string& path) override {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    bool isFolder(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
};

}  // namespace

FileActions& systemFileActions() {
    static PosixFileActions actions;
    return actions;
}

}  // namespace kestrune
