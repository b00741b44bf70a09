#include <windows.h>

#include <cerrno>
#include <string>

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

int FileLock::tryLockNamed(const std::string& path, const std::string& note) {
    release();
    windows::Handle made(CreateFileW(windows::systemPath(path).c_str(), GENERIC_WRITE,
                                     windows::kShareAll, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!made.valid()) return windows::lastErrorCode();
    made.reset();
    const int locked = tryLock(path);
    if (locked != 0) return locked;
    windows::Handle writer(CreateFileW(windows::systemPath(path).c_str(), GENERIC_WRITE,
                                       windows::kShareAll, nullptr, TRUNCATE_EXISTING, 0, nullptr));
    DWORD written = 0;
    if (!writer.valid() ||
        !WriteFile(writer.get(), note.data(), static_cast<DWORD>(note.size()), &written, nullptr)) {
        const int code = windows::lastErrorCode();
        release();
        return code;
    }
    return 0;
}

// Closing the handle drops its locks; so does the end of the process in any way.
void FileLock::release() {
    windows::closeDescriptor(fd_);
    fd_ = -1;
}

std::string lockNote(const std::string& path) {
    windows::Handle file(CreateFileW(windows::systemPath(path).c_str(), GENERIC_READ,
                                     windows::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return {};
    char text[64];
    DWORD got = 0;
    if (!ReadFile(file.get(), text, sizeof text, &got, nullptr)) return {};
    return std::string(text, got);
}

long processId() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace kestrune
