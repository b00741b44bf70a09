#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

#include "platform/entry_identity.h"
#include "platform/file_support_windows.h"
#include "platform/folder_listing.h"
#include "platform/path_text.h"

namespace kestrune {

FolderHandle::~FolderHandle() {
    windows::closeDescriptor(fd_);
}

namespace {

using windows::Handle;

// Room for a few hundred names per call.
constexpr DWORD kListingBuffer = 64 * 1024;

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

bool idOf(HANDLE folder, FolderId& id, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder, &info)) return false;
    id = {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    attributes = info.dwFileAttributes;
    return true;
}

FolderListing notOpened(int error) {
    FolderListing listing;
    listing.error = error;
    return listing;
}

bool isDotOrDotDot(const FILE_ID_BOTH_DIR_INFO& entry) {
    const DWORD length = entry.FileNameLength / sizeof(wchar_t);
    return entry.FileName[0] == L'.' && (length == 1 || (length == 2 && entry.FileName[1] == L'.'));
}

// Reads the open folder's entries, their types and ids, in as few calls as the names allow.
// False with the error code set when a read fails.
bool readNames(HANDLE folder, std::uint64_t device, std::vector<FolderEntry>& entries, int& error) {
    thread_local std::unique_ptr<char[]> buffer(new char[kListingBuffer]);
    FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.get(), kListingBuffer)) {
            if (GetLastError() == ERROR_NO_MORE_FILES) return true;
            error = windows::lastErrorCode();
            return false;
        }
        kind = FileIdBothDirectoryInfo;
        for (DWORD at = 0;;) {
            const auto& raw = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.get() + at);
            if (!isDotOrDotDot(raw)) {
                FolderEntry entry;
                entry.name = windows::utf8(
                    std::wstring_view(raw.FileName, raw.FileNameLength / sizeof(wchar_t)));
                // For a reparse point the tag stands where extended attributes' size would.
                entry.type = windows::typeOf(raw.FileAttributes, raw.EaSize);
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

// The folder is what `expected` says when that is given, else it is looked at.
FolderListing readEntries(Handle folder, std::string path, std::optional<FolderId> expected,
                          bool checked) {
    FolderListing listing;
    FolderId self;
    DWORD attributes = 0;
    if (expected && !checked) {
        self = *expected;
    } else {
        if (!idOf(folder.get(), self, attributes)) return notOpened(windows::lastErrorCode());
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return notOpened(ENOTDIR);
        if (expected && !(self == *expected)) return notOpened(ESTALE);
    }
    const HANDLE raw = folder.get();
    const int descriptor = windows::descriptorOf(folder.release());
    if (descriptor < 0) return notOpened(windows::lastErrorCode());
    listing.folder = std::make_shared<const FolderHandle>(descriptor, std::move(path), self.device);
    if (!readNames(raw, self.device, listing.entries, listing.error)) {
        listing.entries.clear();
        listing.folder.reset();
        return listing;
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    listing.listed = true;
    return listing;
}

}  // namespace

FolderListing listFolder(const std::string& path) {
    Handle folder(CreateFileW(windows::systemPath(path).c_str(), kFolderAccess, windows::kShareAll,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid()) return notOpened(windows::lastErrorCode());
    return readEntries(std::move(folder), withSeparator(path), std::nullopt, true);
}

// Opened relative to the parent's handle, a link or junction as itself: such an entry is no
// folder to list.
FolderListing listFolderBelow(const OpenFolder& parent, const std::string& name, const FolderId& id,
                              bool checked) {
    Handle folder;
    const int error = windows::openEntryIn(windows::handleOf(parent->fd()), name, kFolderAccess,
                                           FILE_DIRECTORY_FILE, folder);
    if (error != 0) return notOpened(error);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return notOpened(windows::lastErrorCode());
    }
    if (windows::typeOf(tag.FileAttributes, tag.ReparseTag) != EntryType::Folder) {
        return notOpened(ENOTDIR);
    }
    return readEntries(std::move(folder), parent->path() + name + kPathSeparator, id, checked);
}

int readIdentity(const std::string& path, EntryIdentity& identity) {
    const Handle entry(windows::openEntry(path));
    if (!entry.valid()) return windows::lastErrorCode();
    return windows::identityOf(entry.get(), identity);
}

int readIdentityIn(const OpenFolder& folder, const std::string& name, EntryIdentity& identity) {
    Handle entry;
    if (const int error = windows::openEntryIn(windows::handleOf(folder->fd()), name,
                                               FILE_READ_ATTRIBUTES, 0, entry)) {
        return error;
    }
    return windows::identityOf(entry.get(), identity);
}

bool folderIdentity(const std::string& path, FolderId& id) {
    const Handle folder(CreateFileW(windows::systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    windows::kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD attributes = 0;
    return folder.valid() && idOf(folder.get(), id, attributes) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace kestrune
