#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace kestrune {

FileLock::~FileLock() {
    release();
}

int FileLock::tryLock(const std::string& path) {
    release();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
        ::close(fd);
        return code;
    }
    fd_ = fd;
    return 0;
}

int FileLock::tryLockNamed(const std::string& path, const std::string& note) {
    release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
        ::close(fd);
        return code;
    }
    // Nobody reads the note as a whole file while it is written but a holder's rival, who
    // at worst finds it empty.
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, note.data(), note.size(), 0) != static_cast<ssize_t>(note.size())) {
        const int code = errno;
        ::close(fd);
        return code;
    }
    fd_ = fd;
    return 0;
}

void FileLock::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string lockNote(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[64];
    const ssize_t got = ::read(fd, text, sizeof text);
    ::close(fd);
    return got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string();
}

long processId() {
    return static_cast<long>(::getpid());
}

}  // namespace kestrune
