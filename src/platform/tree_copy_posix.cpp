#include "platform/tree_copy_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/file_support_posix.h"

namespace kestrune::posix {

namespace {

constexpr std::size_t kBufferSize = 1 << 17;
// A stop request is looked at after each chunk: a large file stops within a second.
constexpr std::size_t kChunk = 8 << 20;

bool stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

ActionResult copyByReading(int in, int out, const std::atomic<bool>* stop) {
    std::vector<char> buffer(kBufferSize);
    for (std::size_t sinceLook = 0;;) {
        if (sinceLook >= kChunk) {
            if (stopped(stop)) return failures::stopped();
            sinceLook = 0;
        }
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) return ActionResult::success();
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        const int code = writeFully(::write, out, buffer.data(), static_cast<std::size_t>(n));
        if (code != 0) return ActionResult::failure(code);
        sinceLook += static_cast<std::size_t>(n);
    }
}

// The kernel copies without passing the data through this process where it can.
ActionResult copyContent(int in, int out, const std::atomic<bool>* stop) {
    for (bool first = true;; first = false) {
        if (stopped(stop)) return failures::stopped();
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
        if (n == 0) return ActionResult::success();
        if (n > 0) continue;
        if (errno == EINTR) continue;
        const bool unsupported =
            errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
        if (first && unsupported) return copyByReading(in, out, stop);
        return lastError();
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

ActionResult copyFile(int from, const std::string& name, const struct stat& listed, int to,
                      const std::string& newName, const std::atomic<bool>* stop) {
    // Only regular files are opened: opening a FIFO or a device could block or harm it.
    Descriptor in(openat(from, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in.valid() || fstat(in.get(), &st) != 0) return lastError();
    if (!S_ISREG(st.st_mode) || st.st_ino != listed.st_ino) return failures::changedWhileCopied();
    Descriptor out(openat(to, newName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.valid()) return lastError();
    ActionResult result = copyContent(in.get(), out.get(), stop);
    struct stat after {};
    if (result.ok()) {
        keepAttributes(in.get(), out.get());
        if (!keepModeAndTimes(out.get(), st) || fstat(in.get(), &after) != 0) {
            result = lastError();
        } else if (!(identityOf(after) == identityOf(st))) {
            result = failures::changedWhileCopied();
        }
    }
    if (result.ok() && !out.close()) result = lastError();
    if (!result.ok()) unlinkat(to, newName.c_str(), 0);
    return result;
}

ActionResult copyLink(int from, const std::string& name, const struct stat& st, int to,
                      const std::string& newName) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlinkat(from, name.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return lastError();
    buffer[static_cast<std::size_t>(length)] = '\0';
    if (symlinkat(buffer.data(), to, newName.c_str()) != 0) return lastError();
    // A link keeps its times like any entry moved or copied.
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(to, newName.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return ActionResult::success();
}

// The names in an open folder, read through a descriptor of its own.
bool namesIn(int folder, std::vector<std::string>& names) {
    const int own = dup(folder);
    if (own < 0) return false;
    DIR* stream = fdopendir(own);
    if (stream == nullptr) {
        ::close(own);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const int error = errno;
    closedir(stream);
    errno = error;
    return error == 0;
}

ActionResult copyInto(int from, int to, const std::string& prefix, const std::atomic<bool>* stop,
                      CopyManifest& manifest);

ActionResult copyFolder(int from, const std::string& name, const struct stat& listed, int to,
                        const std::string& newName, const std::atomic<bool>* stop,
                        const std::string& prefix, CopyManifest& manifest) {
    Descriptor in(openat(from, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!in.valid() || fstat(in.get(), &st) != 0) return lastError();
    if (st.st_ino != listed.st_ino || st.st_dev != listed.st_dev)
        return failures::changedWhileCopied();
    if (mkdirat(to, newName.c_str(), 0700) != 0) return lastError();
    Descriptor out(openat(to, newName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    ActionResult result =
        out.valid() ? copyInto(in.get(), out.get(), prefix, stop, manifest) : lastError();
    if (result.ok() && !keepModeAndTimes(out.get(), st)) result = lastError();
    out.reset(-1);
    if (!result.ok()) removeTree(to, newName, nullptr);
    return result;
}

ActionResult copyAt(int from, const std::string& name, const struct stat& st, int to,
                    const std::string& newName, const std::atomic<bool>* stop,
                    const std::string& prefix, CopyManifest& manifest) {
    if (S_ISREG(st.st_mode)) return copyFile(from, name, st, to, newName, stop);
    if (S_ISLNK(st.st_mode)) return copyLink(from, name, st, to, newName);
    if (S_ISDIR(st.st_mode)) {
        return copyFolder(from, name, st, to, newName, stop, prefix, manifest);
    }
    return ActionResult::failure(EINVAL, "Not a regular file");
}

ActionResult copyInto(int from, int to, const std::string& prefix, const std::atomic<bool>* stop,
                      CopyManifest& manifest) {
    std::vector<std::string> names;
    if (!namesIn(from, names)) return lastError();
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
        const std::string below = prefix + name;
        ActionResult result = copyAt(from, name, st, to, name, stop, below + "/", manifest);
        if (!result.ok()) return result;
        manifest[below] = identityOf(st);
    }
    return ActionResult::success();
}

bool asCopied(const CopyManifest& manifest, const std::string& below, const struct stat& st) {
    const auto found = manifest.find(below);
    if (found == manifest.end()) return false;
    if (S_ISDIR(st.st_mode)) return identityOf(st).sameEntry(found->second);
    return identityOf(st) == found->second;
}

// Removes what the folder holds (only what the manifest holds, when given); false when
// anything had to stay.
bool emptyFolder(int folder, const std::string& prefix, const CopyManifest* manifest) {
    std::vector<std::string> names;
    if (!namesIn(folder, names)) return false;
    bool all = true;
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const std::string below = prefix + name;
        if (manifest != nullptr && !asCopied(*manifest, below, st)) {
            all = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            Descriptor inner(
                openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner.valid() || !emptyFolder(inner.get(), below + "/", manifest)) {
                all = false;
                continue;
            }
            if (unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) all = false;
        } else if (unlinkat(folder, name.c_str(), 0) != 0) {
            all = false;
        }
    }
    return all;
}

}  // namespace

ActionResult copyEntry(int from, const std::string& name, const struct stat& st, int to,
                       const std::string& newName, const std::atomic<bool>* stop,
                       CopyManifest& manifest) {
    return copyAt(from, name, st, to, newName, stop, "", manifest);
}

ActionResult removeTree(int parent, const std::string& name, const CopyManifest* manifest) {
    Descriptor folder(
        openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) return lastError();
    const bool all = emptyFolder(folder.get(), "", manifest);
    folder.reset(-1);
    if (!all) {
        return failures::notAllRemoved();
    }
    if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) return lastError();
    return ActionResult::success();
}

}  // namespace kestrune::posix
