#include <windows.h>

#include "platform/content_blocks.h"
#include "platform/content_compare.h"
#include "platform/file_io.h"
#include "platform/file_support_windows.h"

namespace kestrune {

namespace {

using Outcome = ContentComparison::Outcome;
using windows::Handle;

ContentComparison failed(const std::string& path) {
    return {Outcome::Failed, path + ": " + systemErrorText(windows::lastErrorCode())};
}

// Opens a regular file without following a link; false with the error cleared for any other
// kind.
bool openRegular(const std::string& path, Handle& file, BY_HANDLE_FILE_INFORMATION& info) {
    file.reset(CreateFileW(
        windows::systemPath(path).c_str(), GENERIC_READ, windows::kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
        nullptr));
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        !GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return false;
    }
    if (windows::typeOf(info.dwFileAttributes, tag.ReparseTag) != EntryType::File) {
        SetLastError(ERROR_SUCCESS);
        return false;
    }
    return true;
}

// Fills the buffer unless the file ends first; the number of bytes read, or -1.
long readBlock(HANDLE file, char* data, DWORD size) {
    DWORD got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, data + got, size - got, &n, nullptr)) return -1;
        if (n == 0) break;
        got += n;
    }
    return static_cast<long>(got);
}

std::uint64_t sizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

}  // namespace

ContentComparison compareContent(const std::string& first, const std::string& second) {
    Handle a;
    Handle b;
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    if (!openRegular(first, a, ia)) {
        return GetLastError() == ERROR_SUCCESS ? ContentComparison{} : failed(first);
    }
    if (!openRegular(second, b, ib)) {
        return GetLastError() == ERROR_SUCCESS ? ContentComparison{} : failed(second);
    }
    if (sizeOf(ia) != sizeOf(ib)) return {};
    if (ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
        ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow) {
        return {Outcome::Same, {}};
    }
    const Handle* files[2] = {&a, &b};
    return compareBlocks(
        [&files](int which, char* data, std::size_t size) {
            return static_cast<long long>(
                readBlock(files[which]->get(), data, static_cast<DWORD>(size)));
        },
        [&](int which) { return failed(which == 0 ? first : second); });
}

}  // namespace kestrune
