#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/append_file.h"
#include "platform/file_support_posix.h"

namespace kestrune {

AppendFile::~AppendFile() {
    if (fd_ >= 0) ::close(fd_);
}

AppendFile::AppendFile(AppendFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int AppendFile::create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    posix::Descriptor folder(
        ::open(posix::folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid() || ::fsync(folder.get()) != 0) return errno;
    return 0;
}

int AppendFile::openAfterLastLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    char tail[4096];
    while (end > 0) {
        const off_t start =
            end > static_cast<off_t>(sizeof tail) ? end - static_cast<off_t>(sizeof tail) : 0;
        const ssize_t got = ::pread(fd_, tail, static_cast<std::size_t>(end - start), start);
        if (got < 0) return errno;
        for (ssize_t i = got; i > 0; --i) {
            if (tail[i - 1] == '\n') return ::ftruncate(fd_, start + i) == 0 ? 0 : errno;
        }
        end = start;
    }
    return ::ftruncate(fd_, 0) == 0 ? 0 : errno;
}

int AppendFile::append(std::string_view data) {
    if (fd_ < 0) return EBADF;
    return posix::writeFully(::write, fd_, data.data(), data.size());
}

int AppendFile::syncData() {
    if (fd_ < 0) return EBADF;
    return ::fdatasync(fd_) == 0 ? 0 : errno;
}

int removeAppendFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace kestrune
