#include <windows.h>

#include <cerrno>

#include "platform/file_lock.h"
#include "platform/file_support_windows.h"

namespace kestrune {

namespace {

// Windows' locks keep others from the bytes they cover; this one covers a byte far past any
// end a file reaches, so the locked file stays readable, as an advisory lock leaves it.
constexpr DWORD kLockedOffsetHigh = 0x7fffffff;
constexpr DWORD kLockedOffsetLow = 0xfffffffe;

}  // namespace

FileLock::~FileLock() {
    release();
}

int FileLock::tryLock(const std::string& path) {
    release();
    windows::Handle file(CreateFileW(windows::systemPath(path).c_str(), GENERIC_READ,
                                     windows::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return windows::lastErrorCode();
    OVERLAPPED at{};
    at.Offset = kLockedOffsetLow;
    at.OffsetHigh = kLockedOffsetHigh;
    if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &at)) {
        const DWORD error = GetLastError();
        return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING
                   ? EWOULDBLOCK
                   : windows::errorCode(error);
    }
    const int descriptor = windows::descriptorOf(file.release());
    if (descriptor < 0) return windows::lastErrorCode();
    fd_ = descriptor;
    return 0;
}

// Closing the handle drops its locks; so does the end of the process in any way.
void FileLock::release() {
    windows::closeDescriptor(fd_);
    fd_ = -1;
}

}  // namespace kestrune
