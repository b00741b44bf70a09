#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "platform/file_support_posix.h"
#include "platform/temporary_name.h"

namespace kestrune {

ActionResult ActionResult::failure(int code) {
    return {code, systemErrorText(code)};
}

ActionResult ActionResult::failure(int code, std::string text) {
    return {code, std::move(text)};
}

namespace {

using posix::Descriptor;
using posix::identityOf;

constexpr std::size_t kBufferSize = 1 << 17;
// Enough tries to find a free temporary name among any that killed runs left.
constexpr int kNameTries = 100;

ActionResult lastError() {
    return ActionResult::failure(errno);
}

ActionResult changed() {
    return ActionResult::failure(ESTALE, "the entry changed since it was listed");
}

ActionResult changedWhileCopied() {
    return ActionResult::failure(ESTALE, "the source changed while it was copied");
}

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

bool copyByReading(int in, int out) {
    std::vector<char> buffer(kBufferSize);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const int code =
            posix::writeFully(::write, out, buffer.data(), static_cast<std::size_t>(n));
        if (code != 0) {
            errno = code;
            return false;
        }
    }
}

// The kernel copies without passing the data through this process where it can.
bool copyContent(int in, int out) {
    bool first = true;
    for (;;) {
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr, kBufferSize * 64, 0);
        if (n == 0) return true;
        if (n > 0) {
            first = false;
            continue;
        }
        if (errno == EINTR) continue;
        const bool unsupported =
            errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (first && unsupported) return copyByReading(in, out);
        return false;
    }
}

// Extended attributes go along where the file systems and the user's rights allow; a
// copy without them is still the file's content.
void keepAttributes(int in, int out) {
    const ssize_t length = flistxattr(in, nullptr, 0);
    if (length <= 0) return;
    std::vector<char> names(static_cast<std::size_t>(length));
    const ssize_t got = flistxattr(in, names.data(), names.size());
    if (got <= 0) return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + got;
         name += std::char_traits<char>::length(name) + 1) {
        const ssize_t size = fgetxattr(in, name, nullptr, 0);
        if (size < 0) continue;
        value.resize(static_cast<std::size_t>(size));
        if (fgetxattr(in, name, value.data(), value.size()) != size) continue;
        fsetxattr(out, name, value.data(), value.size(), 0);
    }
}

// The owner only where the user may give it away; mode after owner, which clears set-id bits.
bool keepModeAndTimes(int out, const struct stat& st) {
    if (fchown(out, st.st_uid, st.st_gid) != 0) {
        // Not allowed to give the file away: it stays the user's own.
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return fchmod(out, st.st_mode & 07777) == 0 && futimens(out, times) == 0;
}

// A new temporary file in the folder, created exclusively.
ActionResult createTemporary(int folder, std::string& name, Descriptor& out) {
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        name = newTemporaryName();
        out.reset(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (out.valid()) return ActionResult::success();
        if (errno != EEXIST) return lastError();
    }
    return ActionResult::failure(EEXIST);
}

ActionResult copyLink(int from, const std::string& name, const struct stat& st, int to,
                      TemporaryCopy& out) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlinkat(from, name.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return lastError();
    buffer[static_cast<std::size_t>(length)] = '\0';
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        out.name = newTemporaryName();
        if (symlinkat(buffer.data(), to, out.name.c_str()) == 0) {
            // A link keeps its times like any entry moved or copied.
            const timespec times[2] = {st.st_atim, st.st_mtim};
            utimensat(to, out.name.c_str(), times, AT_SYMLINK_NOFOLLOW);
            out.source = identityOf(st);
            return ActionResult::success();
        }
        if (errno != EEXIST) return lastError();
    }
    return ActionResult::failure(EEXIST);
}

// Copies the open regular file; the temporary is removed again on any failure.
ActionResult copyFile(int in, const struct stat& st, int to, TemporaryCopy& out) {
    Descriptor target(-1);
    ActionResult result = createTemporary(to, out.name, target);
    if (!result.ok()) return result;
    struct stat after {};
    if (!copyContent(in, target.get())) {
        result = lastError();
    } else {
        keepAttributes(in, target.get());
        if (!keepModeAndTimes(target.get(), st) || fstat(in, &after) != 0) {
            result = lastError();
        } else if (!(identityOf(after) == identityOf(st))) {
            result = changedWhileCopied();
        }
    }
    if (result.ok() && !target.close()) result = lastError();
    if (!result.ok()) {
        unlinkat(to, out.name.c_str(), 0);
        return result;
    }
    out.source = identityOf(st);
    out.size = static_cast<std::uint64_t>(st.st_size);
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

ActionResult openBelow(int& fd, const std::string& name, std::string& path) {
    const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    ::close(fd);
    fd = next;
    path += name + "/";
    if (next >= 0) return ActionResult::success();
    if (error == ELOOP || error == ENOTDIR) {
        return ActionResult::failure(error,
                                     "the folder " + path + " was replaced since it was listed");
    }
    return ActionResult::failure(error);
}

class PosixFileActions final : public FileActions {
  public:
    ActionResult openFolder(const std::string& root, const std::string& relative,
                            OpenFolder& out) override {
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return lastError();
        std::string path = root;
        if (path.empty() || path.back() != '/') path += '/';
        std::size_t begin = 0;
        while (begin < relative.size()) {
            std::size_t end = relative.find('/', begin);
            if (end == std::string::npos) end = relative.size();
            if (end > begin) {
                const ActionResult opened =
                    openBelow(fd, relative.substr(begin, end - begin), path);
                if (!opened.ok()) return opened;
            }
            begin = end + 1;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            const ActionResult result = lastError();
            ::close(fd);
            return result;
        }
        out = std::make_shared<const FolderHandle>(fd, std::move(path),
                                                   static_cast<std::uint64_t>(st.st_dev));
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
        return identityAt(to->fd(), newName, made);
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

    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        struct stat st {};
        ActionResult result = checkListed(folder->fd(), name, expected, st);
        if (!result.ok()) return result;
        if (unlinkat(folder->fd(), name.c_str(), AT_REMOVEDIR) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, bool followLink,
                                 const OpenFolder& to, TemporaryCopy& out) override {
        struct stat st {};
        if (statAt(from->fd(), name, st) != 0) return lastError();
        if (!identityOf(st).sameEntry(expected)) return changed();
        if (S_ISDIR(st.st_mode)) return ActionResult::failure(EISDIR);
        if (S_ISLNK(st.st_mode) && !followLink)
            return copyLink(from->fd(), name, st, to->fd(), out);
        // Only regular files are opened: opening a FIFO or a device could block or harm it.
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            return ActionResult::failure(EINVAL, "Not a regular file");
        }
        const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
        Descriptor in(openat(from->fd(), name.c_str(), flags));
        if (!in.valid() || fstat(in.get(), &st) != 0) return lastError();
        if (!S_ISREG(st.st_mode)) return ActionResult::failure(EINVAL, "Not a regular file");
        return copyFile(in.get(), st, to->fd(), out);
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
        unlinkat(folder->fd(), copy.name.c_str(), 0);
    }

    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        struct stat st {};
        if (statAt(from->fd(), name, st) != 0) return lastError();
        if (!(identityOf(st) == copy.source)) return changedWhileCopied();
        if (unlinkat(from->fd(), name.c_str(), 0) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult makeFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) == 0) return ActionResult::success();
        return lastError();
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
