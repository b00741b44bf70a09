#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "platform/file_support_posix.h"

namespace kestrune {

ActionResult ActionResult::failure(int code) {
    return {code, systemErrorText(code)};
}

ActionResult ActionResult::failure(int code, std::string text) {
    return {code, std::move(text)};
}

namespace {

using posix::Descriptor;
using posix::folderOf;

constexpr std::size_t kBufferSize = 1 << 17;

ActionResult lastError() {
    return ActionResult::failure(errno);
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

bool keepModeAndTimes(int out, const struct stat& st) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return fchmod(out, st.st_mode & 07777) == 0 && futimens(out, times) == 0;
}

// Copies the open regular file to the new descriptor; the caller removes it on failure.
ActionResult fillTarget(int in, const struct stat& st, Descriptor& out, bool flush) {
    if (!copyContent(in, out.get()) || !keepModeAndTimes(out.get(), st)) return lastError();
    if (flush && fsync(out.get()) != 0) return lastError();
    if (!out.close()) return lastError();
    return ActionResult::success();
}

// Opens the file a source names, refusing anything whose opening could block or harm a
// device: only regular files are read.
ActionResult openSource(const std::string& source, Descriptor& in, struct stat& st) {
    if (::stat(source.c_str(), &st) != 0) return lastError();
    if (S_ISDIR(st.st_mode)) return ActionResult::failure(EISDIR);
    if (!S_ISREG(st.st_mode)) return ActionResult::failure(EINVAL, "Not a regular file");
    in.reset(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || fstat(in.get(), &st) != 0) return lastError();
    if (!S_ISREG(st.st_mode)) return ActionResult::failure(EINVAL, "Not a regular file");
    return ActionResult::success();
}

// Without RENAME_NOREPLACE a file is linked to its new name, which fails when the name is
// taken, and a folder first claims its new name as an empty folder that it then replaces.
ActionResult renameByLinking(const std::string& source, const std::string& target) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return lastError();
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(target.c_str(), 0700) != 0) return lastError();
        if (::rename(source.c_str(), target.c_str()) != 0) {
            const ActionResult result = lastError();
            ::rmdir(target.c_str());
            return result;
        }
        return ActionResult::success();
    }
    if (::link(source.c_str(), target.c_str()) != 0) return lastError();
    if (::unlink(source.c_str()) != 0) {
        const ActionResult result = lastError();
        ::unlink(target.c_str());
        return result;
    }
    return ActionResult::success();
}

ActionResult renameNoReplace(const std::string& source, const std::string& target) {
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return ActionResult::success();
    }
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        const int original = errno;
        ActionResult result = renameByLinking(source, target);
        // A folder moved into itself is refused as EINVAL by both ways; keep the first text.
        return result.code == EINVAL ? ActionResult::failure(original) : result;
    }
    return lastError();
}

// A temporary name in the target's folder, created exclusively and open for writing.
ActionResult makeTemporary(const std::string& target, std::string& temporary, Descriptor& out) {
    temporary = folderOf(target) + "/.kestrune-XXXXXX";
    out.reset(mkostemp(temporary.data(), O_CLOEXEC));
    if (!out.valid()) return lastError();
    return ActionResult::success();
}

ActionResult placeTemporary(const std::string& temporary, const std::string& target) {
    const ActionResult placed = renameNoReplace(temporary, target);
    if (!placed.ok()) ::unlink(temporary.c_str());
    return placed;
}

ActionResult copyFileAcross(const std::string& source, const std::string& target,
                            std::string& temporary) {
    Descriptor in(-1);
    struct stat st {};
    ActionResult result = openSource(source, in, st);
    if (!result.ok()) return result;
    Descriptor out(-1);
    result = makeTemporary(target, temporary, out);
    if (!result.ok()) return result;
    result = fillTarget(in.get(), st, out, true);
    if (!result.ok()) {
        ::unlink(temporary.c_str());
        return result;
    }
    return placeTemporary(temporary, target);
}

ActionResult copyLinkAcross(const std::string& source, const std::string& target,
                            std::string& temporary) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = ::readlink(source.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return lastError();
    const std::string pointsTo(buffer.data(), static_cast<std::size_t>(length));
    // A link cannot be created by mkostemp; claim a unique name with a file, then replace it.
    Descriptor claim(-1);
    ActionResult result = makeTemporary(target, temporary, claim);
    if (!result.ok()) return result;
    claim.close();
    const std::string linkName = temporary + ".link";
    if (::symlink(pointsTo.c_str(), linkName.c_str()) != 0) {
        result = lastError();
        ::unlink(temporary.c_str());
        return result;
    }
    ::unlink(temporary.c_str());
    return placeTemporary(linkName, target);
}

// The source goes only once its copy is complete, flushed and in place.
ActionResult moveAcross(const std::string& source, const std::string& target) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return lastError();
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return ActionResult::failure(EXDEV);
    std::string temporary;
    ActionResult result = S_ISREG(st.st_mode) ? copyFileAcross(source, target, temporary)
                                              : copyLinkAcross(source, target, temporary);
    if (!result.ok()) return result;
    if (::unlink(source.c_str()) != 0) {
        result = lastError();
        ::unlink(target.c_str());
    }
    return result;
}

class PosixFileActions final : public FileActions {
  public:
    ActionResult move(const std::string& source, const std::string& target) override {
        ActionResult result = renameNoReplace(source, target);
        if (result.code == EXDEV) return moveAcross(source, target);
        return result;
    }

    ActionResult copy(const std::string& source, const std::string& target) override {
        Descriptor in(-1);
        struct stat st {};
        ActionResult result = openSource(source, in, st);
        if (!result.ok()) return result;
        Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out.valid()) return lastError();
        result = fillTarget(in.get(), st, out, false);
        if (!result.ok()) ::unlink(target.c_str());
        return result;
    }

    ActionResult remove(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return lastError();
        if (S_ISDIR(st.st_mode)) return ActionResult::failure(EISDIR);
        if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
            return ActionResult::failure(EACCES, "Read-only file");
        }
        if (::unlink(path.c_str()) != 0) return lastError();
        return ActionResult::success();
    }

    ActionResult makeFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) == 0) return ActionResult::success();
        return lastError();
    }

    ActionResult removeFolder(const std::string& path) override {
        if (::rmdir(path.c_str()) == 0) return ActionResult::success();
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
