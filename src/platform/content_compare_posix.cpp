#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/content_blocks.h"
#include "platform/content_compare.h"
#include "platform/file_io.h"
#include "platform/file_support_posix.h"

namespace kestrune {

namespace {

using posix::Descriptor;
using Outcome = ContentComparison::Outcome;

ContentComparison failed(const std::string& path) {
    return {Outcome::Failed, path + ": " + systemErrorText(errno)};
}

// Opens a regular file without following a link; false with errno 0 for any other kind.
bool openRegular(const std::string& path, Descriptor& file, struct stat& st) {
    file.reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == ELOOP) errno = 0;
        return false;
    }
    if (::fstat(file.get(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = 0;
        return false;
    }
    ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

// Fills the buffer unless the file ends first; the number of bytes read, or -1.
ssize_t readBlock(int fd, char* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

}  // namespace

ContentComparison compareContent(const std::string& first, const std::string& second) {
    Descriptor a(-1);
    Descriptor b(-1);
    struct stat sa {};
    struct stat sb {};
    if (!openRegular(first, a, sa)) return errno == 0 ? ContentComparison{} : failed(first);
    if (!openRegular(second, b, sb)) return errno == 0 ? ContentComparison{} : failed(second);
    if (sa.st_size != sb.st_size) return {};
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return {Outcome::Same, {}};
    const Descriptor* files[2] = {&a, &b};
    return compareBlocks(
        [&files](int which, char* data, std::size_t size) {
            return static_cast<long long>(readBlock(files[which]->get(), data, size));
        },
        [&](int which) { return failed(which == 0 ? first : second); });
}

}  // namespace kestrune
