#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_ends.h"
#include "platform/file_io.h"
#include "platform/file_support_posix.h"

namespace kestrune {

namespace {

bool readAt(int fd, off_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n =
            ::pread(fd, out.data() + got, size - got, offset + static_cast<off_t>(got));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return true;
}

}  // namespace

FileEnds readFileEnds(const std::string& path, std::size_t bytesAtEachEnd) {
    FileEnds ends;
    posix::Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!file.valid() || ::fstat(file.get(), &st) != 0) {
        ends.error = systemErrorText(errno);
        return ends;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    ends.whole = size <= 2 * bytesAtEachEnd;
    const bool read = ends.whole ? readAt(file.get(), 0, size, ends.head)
                                 : readAt(file.get(), 0, bytesAtEachEnd, ends.head) &&
                                       readAt(file.get(), static_cast<off_t>(size - bytesAtEachEnd),
                                              bytesAtEachEnd, ends.tail);
    if (!read) ends.error = systemErrorText(errno);
    ends.ok = read;
    return ends;
}

}  // namespace kestrune
