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

int AppendFile::append(std::string_view data) {
    if (fd_ < 0) return EBADF;
    return posix::writeFully(::write, fd_, data.data(), data.size());
}

int AppendFile::syncData() {
    if (fd_ < 0) return EBADF;
    return ::fdatasync(fd_) == 0 ? 0 : errno;
}

}  // namespace kestrune
