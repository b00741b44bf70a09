#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/file_support_posix.h"

namespace kestrune {

namespace {

using posix::Descriptor;
using posix::folderOf;

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// O_EXCL with a name of our own rather than mkstemp, so that a new file gets the mode the
// user's umask gives every other file instead of mkstemp's private 0600.
int createTemporary(const std::string& base, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = base + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The new file keeps the mode of the one it replaces.
std::string keepMode(int fd, const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    if (::fchmod(fd, info.st_mode & 07777) != 0) return systemErrorText(errno);
    return {};
}

// A failed folder flush is not worth failing the write for: the file itself is on disk and
// some file systems refuse fsync on a folder.
void flushFolder(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
}

// A settings file kept elsewhere through a symbolic link stays a link: the file it points to
// is the one replaced.
std::string resolveLink(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// mkdir -p. New folders are private (0700): they hold one user's settings and history.
bool makeFolders(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT || folder == "/" || folder == ".") return false;
    if (!makeFolders(folderOf(folder))) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::string makeStateFolders(const std::string& folder) {
    return makeFolders(folder) ? std::string() : systemErrorText(errno);
}

FileContent SystemFileIo::readPieces(const std::string& path, const PieceTaker& take) const {
    FileContent result;
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        result.status =
            errno == ENOENT ? FileContent::Status::Missing : FileContent::Status::Failed;
        result.error = systemErrorText(errno);
        return result;
    }
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.get(), kPiece);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            result.status = FileContent::Status::Failed;
            result.error = systemErrorText(errno);
            return result;
        }
        take(std::string_view(buffer.get(), static_cast<std::size_t>(got)));
    }
    return result;
}

std::int64_t SystemFileIo::writeSome(NativeFile fd, const char* data, std::size_t size) const {
    return ::write(fd, data, size);
}

std::string SystemFileIo::writeAll(int fd, std::string_view content) const {
    const auto writeSomeOf = [this](int to, const char* data, std::size_t size) {
        return writeSome(to, data, size);
    };
    const int code = posix::writeFully(writeSomeOf, fd, content.data(), content.size());
    return code == 0 ? std::string() : systemErrorText(code);
}

std::string SystemFileIo::replace(const std::string& linkOrPath, std::string_view content) const {
    const std::string path = resolveLink(linkOrPath);
    const std::string folder = folderOf(path);
    const std::string base = folder + "/." + nameOf(path) + ".new-";
    std::string temp;
    Descriptor file(createTemporary(base, temp));
    if (file.get() < 0 && errno == ENOENT && makeFolders(folder)) {
        file.reset(createTemporary(base, temp));
    }
    if (file.get() < 0) return systemErrorText(errno);

    std::string error = keepMode(file.get(), path);
    if (error.empty()) error = writeAll(file.get(), content);
    if (error.empty() && ::fsync(file.get()) != 0) error = systemErrorText(errno);
    if (!file.close() && error.empty()) error = systemErrorText(errno);
    if (error.empty() && ::rename(temp.c_str(), path.c_str()) != 0) error = systemErrorText(errno);
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return error;
    }
    flushFolder(folder);
    return {};
}

const FileIo& systemFileIo() {
    static const SystemFileIo io;
    return io;
}

std::string systemErrorText(int code) {
    std::string text = std::strerror(code);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace kestrune
