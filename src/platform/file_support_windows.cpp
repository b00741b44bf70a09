#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winternl.h>

#include <sddl.h>

#include <cerrno>
#include <memory>
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
    if (given.size() == 2 && given[1] == L':') given += L'\\';
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

std::string userPath(std::wstring_view path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return "\\\\" + utf8(path.substr(8));
    if (path.rfind(L"\\\\?\\", 0) == 0) return utf8(path.substr(4));
    return utf8(path);
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

namespace {

bool validName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\") == std::string::npos && name != "." &&
           name != "..";
}

// The native API's open or make of `name` relative to the open folder (an empty name: the
// folder itself), a symbolic link or junction as itself.
int createRelative(HANDLE folder, std::wstring name, DWORD access, ULONG disposition,
                   const NewEntry& entry, Handle& out) {
    UNICODE_STRING object;
    object.Buffer = name.empty() ? nullptr : name.data();
    object.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    object.MaximumLength = object.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object, 0, folder, entry.security);
    IO_STATUS_BLOCK io{};
    LARGE_INTEGER allocation;
    allocation.QuadPart = static_cast<LONGLONG>(entry.allocation);
    HANDLE handle = nullptr;
    const NTSTATUS status = NtCreateFile(
        &handle, access | SYNCHRONIZE, &attributes, &io,
        entry.allocation > 0 ? &allocation : nullptr, entry.attributes, kShareAll, disposition,
        entry.options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
            FILE_SYNCHRONOUS_IO_NONALERT,
        nullptr, 0);
    if (!NT_SUCCESS(status)) return statusCode(status);
    out.reset(handle);
    return 0;
}

}  // namespace

int openEntryIn(HANDLE folder, const std::string& name, DWORD access, ULONG options, Handle& out) {
    if (!validName(name)) return errorCode(ERROR_INVALID_NAME);
    NewEntry entry;
    entry.options = options;
    return createRelative(folder, wide(name), access, FILE_OPEN, entry, out);
}

int createEntryIn(HANDLE folder, const std::string& name, DWORD access, const NewEntry& entry,
                  Handle& out) {
    if (!validName(name)) return errorCode(ERROR_INVALID_NAME);
    return createRelative(folder, wide(name), access, FILE_CREATE, entry, out);
}

int reopen(HANDLE entry, DWORD access, Handle& out) {
    return createRelative(entry, {}, access, FILE_OPEN, NewEntry{}, out);
}

// The extended delete of Windows 10 (1809 and later), which the headers only give to builds
// that require it.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDeleteFlag = 0x1;
constexpr DWORD kPosixSemantics = 0x2;
constexpr DWORD kIgnoreReadOnly = 0x10;

int deleteOpen(HANDLE entry, bool evenReadOnly) {
    DWORD gone = kDeleteFlag | kPosixSemantics | (evenReadOnly ? kIgnoreReadOnly : 0);
    if (SetFileInformationByHandle(entry, kDispositionInfoEx, &gone, sizeof gone)) return 0;
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
        error != ERROR_INVALID_FUNCTION && error != ERROR_CALL_NOT_IMPLEMENTED) {
        return errorCode(error);
    }
    // Older systems: the name goes when the last handle closes, and read-only is a flag to
    // clear first.
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)) {
        return lastErrorCode();
    }
    const bool readOnly = (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !evenReadOnly) return EACCES;
    if (readOnly) {
        FILE_BASIC_INFO writable{};
        writable.FileAttributes = basic.FileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
        if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!SetFileInformationByHandle(entry, FileBasicInfo, &writable, sizeof writable)) {
            return lastErrorCode();
        }
    }
    FILE_DISPOSITION_INFO plain{};
    plain.DeleteFile = TRUE;
    if (SetFileInformationByHandle(entry, FileDispositionInfo, &plain, sizeof plain)) return 0;
    const int code = lastErrorCode();
    if (readOnly) {
        FILE_BASIC_INFO back{};
        back.FileAttributes = basic.FileAttributes;
        SetFileInformationByHandle(entry, FileBasicInfo, &back, sizeof back);
    }
    return code;
}

namespace {

// Room for a few hundred names per call.
constexpr DWORD kListingBuffer = 64 * 1024;

bool isDotOrDotDot(const FILE_ID_BOTH_DIR_INFO& entry) {
    const DWORD length = entry.FileNameLength / sizeof(wchar_t);
    return entry.FileName[0] == L'.' && (length == 1 || (length == 2 && entry.FileName[1] == L'.'));
}

}  // namespace

int readFolder(HANDLE folder, std::uint64_t device, std::vector<FolderEntry>& entries) {
    thread_local std::unique_ptr<char[]> buffer(new char[kListingBuffer]);
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.get(), kListingBuffer)) {
            return GetLastError() == ERROR_NO_MORE_FILES ? 0 : lastErrorCode();
        }
        kind = FileIdBothDirectoryInfo;
        for (DWORD at = 0;;) {
            const auto& raw = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.get() + at);
            if (!isDotOrDotDot(raw)) {
                FolderEntry entry;
                entry.name =
                    utf8(std::wstring_view(raw.FileName, raw.FileNameLength / sizeof(wchar_t)));
                // For a reparse point the tag stands where extended attributes' size would.
                entry.type = typeOf(raw.FileAttributes, raw.EaSize);
                if (entry.type == EntryType::Folder) {
                    entry.id = {device, static_cast<std::uint64_t>(raw.FileId.QuadPart)};
                    // A volume mounted into a folder is a reparse point, so a Link: any
                    // folder left is on this volume.
                    entry.sameFileSystem = true;
                }
                entries.push_back(std::move(entry));
            }
            if (raw.NextEntryOffset == 0) break;
            at += raw.NextEntryOffset;
        }
    }
}

const std::wstring& currentUserSid() {
    static const std::wstring sid = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<char> buffer(size);
        wchar_t* text = nullptr;
        std::wstring result;
        if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            result = text;
            LocalFree(text);
        }
        CloseHandle(token);
        return result;
    }();
    return sid;
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
