#include <windows.h>

#include "platform/file_ends.h"
#include "platform/file_io.h"
#include "platform/file_support_windows.h"

namespace kestrune {

namespace {

bool readAt(HANDLE file, std::uint64_t offset, std::size_t size, std::string& out) {
    out.resize(size);
    std::size_t got = 0;
    while (got < size) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + got;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const std::size_t left = size - got;
        DWORD n = 0;
        if (!ReadFile(file, out.data() + got,
                      left < (1U << 30) ? static_cast<DWORD>(left) : 1U << 30, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    out.resize(got);
    return true;
}

}  // namespace

FileEnds readFileEnds(const std::string& path, std::size_t bytesAtEachEnd) {
    FileEnds ends;
    const windows::Handle file(CreateFileW(windows::systemPath(path).c_str(), GENERIC_READ,
                                           windows::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
        ends.error = systemErrorText(windows::lastErrorCode());
        return ends;
    }
    const auto total = static_cast<std::size_t>(size.QuadPart);
    ends.whole = total <= 2 * bytesAtEachEnd;
    const bool read =
        ends.whole ? readAt(file.get(), 0, total, ends.head)
                   : readAt(file.get(), 0, bytesAtEachEnd, ends.head) &&
                         readAt(file.get(), total - bytesAtEachEnd, bytesAtEachEnd, ends.tail);
    if (!read) ends.error = systemErrorText(windows::lastErrorCode());
    ends.ok = read;
    return ends;
}

}  // namespace kestrune
