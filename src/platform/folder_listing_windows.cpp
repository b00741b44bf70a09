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
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

namespace {

using windows::Handle;

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
    const HANDLE raw = folder.release();
    listing.folder = std::make_shared<const FolderHandle>(raw, std::move(path), self);
    listing.error = windows::readFolder(raw, self.device, listing.entries);
    if (listing.error != 0) {
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
    const int error =
        windows::openEntryIn(parent->native(), name, kFolderAccess, FILE_DIRECTORY_FILE, folder);
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
    if (const int error =
            windows::openEntryIn(folder->native(), name, FILE_READ_ATTRIBUTES, 0, entry)) {
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

// The path the system gives the open folder, every link and junction on the way resolved and
// the names spelt as stored; "\\?\" taken away again, so the path reads as a user writes it.
bool realFolder(const std::string& path, std::string& real, FolderId& id) {
    const Handle folder(CreateFileW(windows::systemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    windows::kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD attributes = 0;
    if (!folder.valid() || !idOf(folder.get(), id, attributes) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(folder.get(), name.data(), static_cast<DWORD>(name.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return false;
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(length);
    }
    real = windows::userPath(name);
    return true;
}

}  // namespace kestrune
