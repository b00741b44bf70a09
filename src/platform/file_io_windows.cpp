#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/error_codes.h"
#include "platform/file_io.h"
#include "platform/file_support_windows.h"

namespace kestrune {

namespace {

using windows::Handle;
using windows::systemPath;

constexpr DWORD kMostAtOnce = 1U << 30;

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A settings file kept elsewhere through a symbolic link stays a link: the file it points to
// is the one replaced.
std::string resolveLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    const Handle target(CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    windows::kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target.valid()) return path;
    const DWORD size = GetFinalPathNameByHandleW(target.get(), nullptr, 0, FILE_NAME_NORMALIZED);
    std::wstring final(size, L'\0');
    final.resize(GetFinalPathNameByHandleW(target.get(), final.data(), size, FILE_NAME_NORMALIZED));
    return final.empty() ? path : windows::utf8(final);
}

// Makes the folder and those missing above it. New folders take the access rules of the
// folder they are made in, as every folder of the user's does.
bool makeFolders(const std::string& folder) {
    const std::wstring path = systemPath(folder);
    if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
        return true;
    }
    if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
    const std::string parent = windows::folderOf(folder);
    if (parent == folder || parent == "." || !makeFolders(parent)) return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

HANDLE createTemporary(const std::string& base, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = base + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        const HANDLE file = CreateFileW(systemPath(temp).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

std::string errorText() {
    return systemErrorText(windows::lastErrorCode());
}

// The texts the C runtime of Windows lacks for the errno values the platform gives.
const char* missingText(int code) {
    switch (code) {
        case ESTALE:
            return "Stale file handle";
        case EWOULDBLOCK:
            return "Resource temporarily unavailable";
        case ELOOP:
            return "Too many levels of symbolic links";
        case ENOTSUP:
            return "Operation not supported";
        default:
            return nullptr;
    }
}

std::string windowsErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0) return "Windows error " + std::to_string(error);
    std::string message = windows::utf8(std::wstring_view(text, length));
    LocalFree(text);
    return message;
}

}  // namespace

// The folders inherit the access rules of the folder they are made in: the user's own
// %APPDATA%, or the program's folder the user chose for their files.
std::string makeStateFolders(const std::string& folder) {
    return makeFolders(folder) ? std::string() : errorText();
}

FileContent SystemFileIo::readPieces(const std::string& path, const PieceTaker& take) const {
    FileContent result;
    const std::wstring name = systemPath(path);
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ, windows::kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        result.status = missing ? FileContent::Status::Missing : FileContent::Status::Failed;
        result.error = systemErrorText(isFolder(name) ? EISDIR : windows::errorCode(error));
        return result;
    }
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.get(), static_cast<DWORD>(kPiece), &got, nullptr)) {
            result.status = FileContent::Status::Failed;
            result.error = errorText();
            return result;
        }
        if (got == 0) break;
        take(std::string_view(buffer.get(), got));
    }
    return result;
}

std::int64_t SystemFileIo::writeSome(NativeFile file, const char* data, std::size_t size) const {
    DWORD written = 0;
    const DWORD chunk = size < kMostAtOnce ? static_cast<DWORD>(size) : kMostAtOnce;
    if (!WriteFile(file, data, chunk, &written, nullptr)) {
        errno = windows::lastErrorCode();
        return -1;
    }
    return written;
}

std::string SystemFileIo::writeAll(NativeFile file, std::string_view content) const {
    const char* data = content.data();
    std::size_t size = content.size();
    while (size > 0) {
        const std::int64_t done = writeSome(file, data, size);
        if (done < 0) return systemErrorText(errno);
        if (done == 0) return systemErrorText(ENOSPC);
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return {};
}

// The rename replaces the old file in one step and is written through, so it survives a power
// cut; the new file takes the access rules of its folder.
std::string SystemFileIo::replace(const std::string& linkOrPath, std::string_view content) const {
    const std::string path = resolveLink(linkOrPath);
    const std::string folder = windows::folderOf(path);
    const std::string base = folder + "\\." + nameOf(path) + ".new-";
    if (isFolder(systemPath(path))) return systemErrorText(EISDIR);
    std::string temp;
    Handle file(createTemporary(base, temp));
    if (!file.valid() && GetLastError() == ERROR_PATH_NOT_FOUND && makeFolders(folder)) {
        file.reset(createTemporary(base, temp));
    }
    if (!file.valid()) return errorText();

    std::string error = writeAll(file.get(), content);
    if (error.empty() && !FlushFileBuffers(file.get())) error = errorText();
    file.reset();
    if (error.empty() && !MoveFileExW(systemPath(temp).c_str(), systemPath(path).c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = errorText();
    }
    if (!error.empty()) {
        DeleteFileW(systemPath(temp).c_str());
        return error;
    }
    return {};
}

const FileIo& systemFileIo() {
    static const SystemFileIo io;
    return io;
}

std::string systemErrorText(int code) {
    std::string text;
    if (code >= windows::kWindowsErrorBase) {
        text = windowsErrorText(static_cast<DWORD>(code - windows::kWindowsErrorBase));
    } else if (const char* missing = missingText(code)) {
        text = missing;
    } else {
        text = std::strerror(code);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

bool isRegularFile(const std::string& path) {
    const Handle file(CreateFileW(systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                  windows::kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file.valid() && GetFileInformationByHandle(file.get(), &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

}  // namespace kestrune
