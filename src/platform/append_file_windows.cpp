#include <windows.h>

#include <cerrno>
#include <utility>

#include "platform/append_file.h"
#include "platform/file_support_windows.h"

namespace kestrune {

namespace {

using windows::handleOf;

// Readers of the history read a journal while it is written; the lock on it lies past its
// end (FileLock), so that reading is never refused.
HANDLE openJournal(const std::string& path, DWORD disposition) {
    return CreateFileW(windows::systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                       windows::kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int take(int& fd, HANDLE handle) {
    const int descriptor = windows::descriptorOf(handle);
    if (descriptor < 0) return windows::lastErrorCode();
    windows::closeDescriptor(fd);
    fd = descriptor;
    return 0;
}

}  // namespace

AppendFile::~AppendFile() {
    windows::closeDescriptor(fd_);
}

AppendFile::AppendFile(AppendFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        windows::closeDescriptor(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

// The folder's new entry is recorded by the file system's own journal (NTFS); Windows offers
// no flush of a folder to a program.
int AppendFile::create(const std::string& path) {
    return take(fd_, openJournal(path, CREATE_NEW));
}

int AppendFile::openAfterLastLine(const std::string& path) {
    if (const int error = take(fd_, openJournal(path, OPEN_EXISTING))) return error;
    const HANDLE file = handleOf(fd_);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return windows::lastErrorCode();
    std::int64_t end = size.QuadPart;
    char tail[4096];
    std::int64_t keep = 0;
    while (end > 0 && keep == 0) {
        const std::int64_t start =
            end > std::int64_t{sizeof tail} ? end - std::int64_t{sizeof tail} : 0;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(start);
        at.OffsetHigh = static_cast<DWORD>(start >> 32);
        DWORD got = 0;
        if (!ReadFile(file, tail, static_cast<DWORD>(end - start), &got, &at)) {
            return windows::lastErrorCode();
        }
        for (DWORD i = got; i > 0 && keep == 0; --i) {
            if (tail[i - 1] == '\n') keep = start + i;
        }
        end = start;
    }
    LARGE_INTEGER cut{};
    cut.QuadPart = keep;
    if (!SetFilePointerEx(file, cut, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
        return windows::lastErrorCode();
    }
    return 0;
}

int AppendFile::append(std::string_view data) {
    if (fd_ < 0) return EBADF;
    const HANDLE file = handleOf(fd_);
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END)) {
        return windows::lastErrorCode();
    }
    while (!data.empty()) {
        DWORD written = 0;
        const DWORD chunk = data.size() < (1U << 30) ? static_cast<DWORD>(data.size()) : 1U << 30;
        if (!WriteFile(file, data.data(), chunk, &written, nullptr)) {
            return windows::lastErrorCode();
        }
        if (written == 0) return ENOSPC;
        data.remove_prefix(written);
    }
    return 0;
}

int AppendFile::syncData() {
    if (fd_ < 0) return EBADF;
    return FlushFileBuffers(handleOf(fd_)) ? 0 : windows::lastErrorCode();
}

int removeAppendFile(const std::string& path) {
    return DeleteFileW(windows::systemPath(path).c_str()) ? 0 : windows::lastErrorCode();
}

}  // namespace kestrune
