#pragma once

// Pieces that the Windows platform code shares; only *_windows.cpp files include this.

#include <io.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/entry_identity.h"
#include "platform/folder_listing.h"

namespace kestrune::windows {

// Paths and names cross the platform layer in UTF-8; the system takes them as UTF-16.
std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view wide);

// A path as the wide-character API takes it past 260 characters: "/" and "\" both separate,
// "." and ".." are taken away as Windows itself would, a relative path is taken from the
// working folder, and "\\?\" (or "\\?\UNC\" for \\server\share) goes before it. A name is
// never changed otherwise: one that Windows would quietly alter (a trailing dot or blank)
// reaches the file system as it is and is refused there. A drive alone ("C:") is its root, as
// the run's rules spell a root without its separator.
std::wstring systemPath(const std::string& path);
// A path the system gave ("\\?\C:\...", "\\?\UNC\server\share\...") as a user writes it.
std::string userPath(std::wstring_view path);

// The folder a path lies in, by either separator: "." for a bare name.
std::string folderOf(const std::string& path);

// Codes above this carry a Windows error that has no errno value; systemErrorText gives the
// system's own text for them.
inline constexpr int kWindowsErrorBase = 0x100000;

// The errno value of a Windows error where the core tells it apart (ENOENT, EEXIST, EXDEV,
// EACCES, ...), else kWindowsErrorBase + error.
int errorCode(DWORD error);
inline int lastErrorCode() {
    return errorCode(GetLastError());
}
// The same for a status of the native API.
int statusCode(LONG status);

// Closes a handle when it leaves scope.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : handle_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (valid()) CloseHandle(handle_);
        handle_ = handle;
    }
    HANDLE release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Every kind of access of others allowed: the program never keeps anyone from their files.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the entry a path names, a symbolic link or junction itself rather than its target, for
// its attributes only; folders too.
HANDLE openEntry(const std::string& path, DWORD access = FILE_READ_ATTRIBUTES);

// Opens the entry `name` of an open folder, never following a symbolic link or junction: one
// is opened as itself. `options` adds to those of the native API (FILE_DIRECTORY_FILE, ...);
// 0 or an errno-style code as errorCode gives.
int openEntryIn(HANDLE folder, const std::string& name, DWORD access, ULONG options, Handle& out);

// What a new entry of an open folder is made with.
struct NewEntry {
    ULONG options = 0;             // FILE_DIRECTORY_FILE or FILE_NON_DIRECTORY_FILE, ...
    ULONG attributes = 0;          // FILE_ATTRIBUTE_*
    std::uint64_t allocation = 0;  // the size to set aside for a file's content
    void* security = nullptr;      // a SECURITY_DESCRIPTOR, or the folder's inherited rules
};
// Makes the entry `name` in an open folder; EEXIST when any entry of that name exists.
int createEntryIn(HANDLE folder, const std::string& name, DWORD access, const NewEntry& entry,
                  Handle& out);

// A second handle on an open entry with other access; 0 or an errno-style code.
int reopen(HANDLE entry, DWORD access, Handle& out);

// Deletes an entry opened with DELETE access: its name goes at once, even while others hold
// it open. A read-only file fails EACCES unless `evenReadOnly` (then it was opened with
// FILE_WRITE_ATTRIBUTES too). 0 or an errno-style code.
int deleteOpen(HANDLE entry, bool evenReadOnly);

// The entries of an open folder (opened with FILE_LIST_DIRECTORY), unsorted, without "." and
// "..": names and types, ids of folders. 0 or an errno-style code.
int readFolder(HANDLE folder, std::uint64_t device, std::vector<FolderEntry>& entries);

// The security identifier of the user this process runs as ("S-1-5-21-..."), empty if unknown.
const std::wstring& currentUserSid();

// Nanoseconds since 1970 of a FILETIME-style count of 100 ns since 1601.
inline std::int64_t nanoseconds(std::int64_t fileTime) {
    return (fileTime - 116444736000000000LL) * 100;
}

// The FILETIME-style count of nanoseconds since 1970.
inline std::int64_t fileTime(std::int64_t nanoseconds) {
    return nanoseconds / 100 + 116444736000000000LL;
}

// The folder at the top of each volume that holds its Recycle Bin, a folder for each user in it.
inline constexpr std::string_view kRecycleBin = "$Recycle.Bin";

// What a reparse point with that tag is to a walk: a link (symbolic link, junction, mount
// point) is never followed; other tags (cloud files, deduplicated files) are the file or folder.
inline bool isLinkTag(DWORD tag) {
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}
EntryType typeOf(DWORD attributes, DWORD reparseTag);

// The identity of an open entry; 0 or an errno-style code.
int identityOf(HANDLE entry, EntryIdentity& identity);

}  // namespace kestrune::windows

namespace kestrune::windows {

// The interfaces that keep an int for an open file (AppendFile, FileLock, FolderHandle) hold a
// descriptor of the C runtime wrapping the HANDLE, so one member serves both systems. -1 when
// the handle is invalid; the handle is closed when no descriptor could be made.
int descriptorOf(HANDLE handle);
inline HANDLE handleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}
// Closes the descriptor and the handle with it.
void closeDescriptor(int descriptor);

}  // namespace kestrune::windows
