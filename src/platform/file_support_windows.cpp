#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winternl.h>

#include <cerrno>
#include <vector>

#include "platform/file_support_windows.h"

namespace kestrune::windows {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring currentFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    folder.resize(GetCurrentDirectoryW(size, folder.data()));
    return folder;
}

// The root of an absolute path ("C:\", "\\server\share\") and where the rest starts; a
// relative path is first made absolute as Windows would.
std::wstring absolute(std::wstring path) {
    const bool drive = path.size() >= 2 && path[1] == L':';
    if (drive && path.size() >= 3 && isSeparator(path[2])) return path;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) return path;
    if (drive) {  // "C:name": relative to the working folder of that drive
        wchar_t* part = nullptr;
        const std::wstring letter = path.substr(0, 2);
        const DWORD size = GetFullPathNameW(letter.c_str(), 0, nullptr, &part);
        std::wstring base(size, L'\0');
        base.resize(GetFullPathNameW(letter.c_str(), size, base.data(), &part));
        return base + L"\\" + path.substr(2);
    }
    const std::wstring here = currentFolder();
    if (!path.empty() && isSeparator(path[0])) return here.substr(0, 2) + path;  // "\name"
    return here + L"\\" + path;
}

}  // namespace

std::wstring wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

std::string utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

std::wstring systemPath(const std::string& path) {
    std::wstring given = wide(path);
    if (given.rfind(L"\\\\?\\", 0) == 0 || given.rfind(L"\\\\.\\", 0) == 0) return given;
    const std::wstring full = absolute(std::move(given));
    // The root: "C:\" or "\\server\share\".
    std::size_t at = 0;
    std::wstring root;
    if (full[1] == L':') {
        root = full.substr(0, 2) + L"\\";
        at = 3;
    } else {
        std::size_t parts = 0;
        at = 2;
        while (at < full.size() && parts < 2) {
            const std::size_t start = at;
            while (at < full.size() && !isSeparator(full[at])) ++at;
            root += full.substr(start, at - start) + L"\\";
            ++parts;
            ++at;
        }
    }
    std::vector<std::wstring> names;
    while (at < full.size()) {
        const std::size_t start = at;
        while (at < full.size() && !isSeparator(full[at])) ++at;
        const std::wstring name = full.substr(start, at - start);
        ++at;
        if (name.empty() || name == L".") continue;
        if (name == L"..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    std::wstring result = full[1] == L':' ? L"\\\\?\\" + root : L"\\\\?\\UNC\\" + root;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) result += L'\\';
        result += names[i];
    }
    return result;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

int errorCode(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_LOCK_VIOLATION:
            return EWOULDBLOCK;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        default:
            return kWindowsErrorBase + static_cast<int>(error);
    }
}

int statusCode(LONG status) {
    return errorCode(RtlNtStatusToDosError(status));
}

HANDLE openEntry(const std::string& path, DWORD access) {
    return CreateFileW(systemPath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

int openEntryIn(HANDLE folder, const std::string& name, DWORD access, ULONG options, Handle& out) {
    if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." ||
        name == "..") {
        return errorCode(ERROR_INVALID_NAME);
    }
    std::wstring wideName = wide(name);
    UNICODE_STRING object;
    object.Buffer = wideName.data();
    object.Length = static_cast<USHORT>(wideName.size() * sizeof(wchar_t));
    object.MaximumLength = object.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object, 0, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = NtCreateFile(
        &handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN,
        options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
            FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    if (!NT_SUCCESS(status)) return statusCode(status);
    out.reset(handle);
    return 0;
}

EntryType typeOf(DWORD attributes, DWORD reparseTag) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && isLinkTag(reparseTag)) {
        return EntryType::Link;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryType::Folder;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryType::Other;
    return EntryType::File;
}

int identityOf(HANDLE entry, EntryIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandle(entry, &info) ||
        !GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)) {
        return lastErrorCode();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        !GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag)) {
        return lastErrorCode();
    }
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.type = typeOf(info.dwFileAttributes, tag.ReparseTag);
    identity.size =
        identity.type == EntryType::Folder
            ? 0
            : (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    identity.modifiedNs = nanoseconds(basic.LastWriteTime.QuadPart);
    identity.changedNs = nanoseconds(basic.ChangeTime.QuadPart);
    return 0;
}

int descriptorOf(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return -1;
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    }
    return descriptor;
}

void closeDescriptor(int descriptor) {
    if (descriptor >= 0) _close(descriptor);
}

}  // namespace kestrune::windows
