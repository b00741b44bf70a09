#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#include <winternl.h>

#include <cerrno>
#include <vector>

#include "platform/file_actions.h"
#include "platform/file_support_windows.h"
#include "platform/path_text.h"
#include "platform/tree_copy_windows.h"

namespace kestrune {

namespace {

using failures::changed;
using windows::failed;
using windows::Handle;
using windows::Looked;

constexpr std::size_t kSmallFileLimit = 1 << 16;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
constexpr DWORD kLookAccess = FILE_READ_ATTRIBUTES;
constexpr DWORD kMoveAccess = DELETE | FILE_READ_ATTRIBUTES;

// A name the entry is to take: one Windows cannot hold fails with the reason.
bool refused(const std::string& name, ActionResult& result) {
    std::string problem = nameProblem(name);
    if (problem.empty()) return false;
    result = ActionResult::failure(EINVAL, std::move(problem));
    return true;
}

int openIn(const OpenFolder& folder, const std::string& name, DWORD access, Handle& out,
           Looked& seen, ULONG options = 0) {
    if (const int code = windows::openEntryIn(folder->native(), name, access, options, out)) {
        return code;
    }
    return windows::look(out.get(), seen);
}

// Renames the open entry into the open folder, never replacing what is there. The native
// call itself: Wine's SetFileInformationByHandle takes the new name for a path of the working
// folder and so cannot rename relative to a folder.
ActionResult renameOpen(HANDLE entry, HANDLE folder, const std::string& name) {
    const std::wstring wideName = windows::wide(name);
    const std::size_t bytes = wideName.size() * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFORMATION) + bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<ULONG>(bytes);
    std::copy(wideName.begin(), wideName.end(), info->FileName);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtSetInformationFile(
        entry, &io, info, static_cast<ULONG>(buffer.size()), FileRenameInformation);
    if (!NT_SUCCESS(status)) return failed(windows::statusCode(status));
    return ActionResult::success();
}

OpenFolder handleOf(Handle folder, std::string path, const EntryIdentity& identity) {
    return std::make_shared<const FolderHandle>(folder.release(), std::move(path),
                                                FolderId{identity.device, identity.inode});
}

// The rules of a private folder: this user's alone, with the system and administrators, as
// Windows keeps a user's folder of the Recycle Bin; the bin's own folder lets every user make
// theirs in it. Both hidden system folders, as Windows makes them.
std::wstring privateRules(const std::string& name) {
    if (name == windows::kRecycleBin) {
        return L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a5;;;AU)";
    }
    return L"D:P(A;OICI;FA;;;" + windows::currentUserSid() + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
}

// The folder's owner is this user, or the owner this user's new entries get (administrators,
// for an elevated administrator).
bool ownFolder(HANDLE folder) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool own = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        std::vector<char> user(256), defaultOwner(256);
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, user.data(), 256, &size)) {
            own = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) != FALSE;
        }
        if (!own && GetTokenInformation(token, TokenOwner, defaultOwner.data(), 256, &size)) {
            own = EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner) !=
                  FALSE;
        }
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return own;
}

class WindowsFileActions final : public FileActions {
  public:
    ActionResult openRoot(const std::string& path, OpenFolder& out) override {
        Handle folder(CreateFileW(windows::systemPath(path).c_str(), kFolderAccess,
                                  windows::kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        Looked seen;
        if (!folder.valid()) return failed(windows::lastErrorCode());
        if (const int code = windows::look(folder.get(), seen)) return failed(code);
        if ((seen.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return failed(ENOTDIR);
        out = handleOf(std::move(folder), withSeparator(path), seen.identity);
        return ActionResult::success();
    }

    ActionResult openBelow(const OpenFolder& parent, const std::string& name,
                           OpenFolder& out) override {
        const std::string path = parent->path() + name + kPathSeparator;
        Handle folder;
        Looked seen;
        const int code = openIn(parent, name, kFolderAccess, folder, seen, FILE_DIRECTORY_FILE);
        if (code == ENOTDIR) return failures::replacedFolder(code, path);
        if (code != 0) return failed(code);
        // A symbolic link or junction is opened as itself, and never entered.
        if (seen.identity.type != EntryType::Folder) return failures::replacedFolder(ELOOP, path);
        out = handleOf(std::move(folder), path, seen.identity);
        return ActionResult::success();
    }

    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override {
        ActionResult result;
        if (refused(name, result)) return result;
        PSECURITY_DESCRIPTOR rules = nullptr;
        windows::NewEntry entry;
        entry.options = FILE_DIRECTORY_FILE;
        if (private_) {
            entry.attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    privateRules(name).c_str(), SDDL_REVISION_1, &rules, nullptr)) {
                return failed(windows::lastErrorCode());
            }
            entry.security = rules;
        }
        Handle folder;
        const int code = windows::createEntryIn(parent->native(), name, kLookAccess | READ_CONTROL,
                                                entry, folder);
        if (rules != nullptr) LocalFree(rules);
        result = code == 0 ? ActionResult::success() : failed(code);
        if (!private_ || (code != 0 && code != EEXIST)) return result;
        Looked seen;
        if (code != 0) {
            if (const int opened = openIn(parent, name, kLookAccess | READ_CONTROL, folder, seen)) {
                return failed(opened);
            }
        } else if (const int looked = windows::look(folder.get(), seen)) {
            return failed(looked);
        }
        if (seen.identity.type != EntryType::Folder || !ownFolder(folder.get())) {
            return ActionResult::failure(EPERM,
                                         parent->path() + name + " is not this user's folder");
        }
        return result;
    }

    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        Handle entry;
        Looked seen;
        if (const int code =
                openIn(folder, name, DELETE | kLookAccess | FILE_WRITE_ATTRIBUTES, entry, seen)) {
            return failed(code);
        }
        if (!seen.identity.sameEntry(expected)) return changed();
        if (const int code = windows::deleteOpen(entry.get(), true)) return failed(code);
        return ActionResult::success();
    }

    // A folder's shape on Windows: the attributes a user sets (read-only, hidden, ...) in place
    // of the mode, and its times.
    ActionResult readShape(const OpenFolder& folder, const std::string& name,
                           FolderShape& out) override {
        Handle entry;
        if (const int code = windows::openEntryIn(folder->native(), name, kLookAccess, 0, entry)) {
            return failed(code);
        }
        FILE_BASIC_INFO basic{};
        if (!GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof basic)) {
            return failed(windows::lastErrorCode());
        }
        out = {basic.FileAttributes & kShapeAttributes,
               windows::nanoseconds(basic.LastAccessTime.QuadPart),
               windows::nanoseconds(basic.LastWriteTime.QuadPart)};
        return ActionResult::success();
    }

    ActionResult giveShape(const OpenFolder& folder, const std::string& name,
                           const FolderShape& shape) override {
        Handle entry;
        if (const int code =
                windows::openEntryIn(folder->native(), name, kLookAccess | FILE_WRITE_ATTRIBUTES,
                                     FILE_DIRECTORY_FILE, entry)) {
            return failed(code);
        }
        FILE_BASIC_INFO basic{};
        basic.LastAccessTime.QuadPart = windows::fileTime(shape.accessedNs);
        basic.LastWriteTime.QuadPart = windows::fileTime(shape.modifiedNs);
        const DWORD attributes = shape.mode & kShapeAttributes;
        basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
        if (!SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic)) {
            return failed(windows::lastErrorCode());
        }
        return ActionResult::success();
    }

    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        ActionResult result;
        if (refused(newName, result)) return result;
        Handle entry;
        Looked seen;
        if (const int code = openIn(from, name, kMoveAccess, entry, seen)) return failed(code);
        if (!asListed(seen.identity, expected)) return changed();
        result = renameOpen(entry.get(), to->native(), newName);
        if (!result.ok()) return result;
        if (const int code = windows::identityOf(entry.get(), made)) return failed(code);
        return result;
    }

    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override {
        Handle entry;
        Looked seen;
        if (const int code = openIn(folder, name, DELETE | kLookAccess, entry, seen)) {
            return failed(code);
        }
        if (!asListed(seen.identity, expected)) return changed();
        if (seen.identity.type == EntryType::Folder) return failed(EISDIR);
        if (seen.identity.type == EntryType::File &&
            (seen.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return ActionResult::failure(EACCES, "Read-only file");
        }
        if (const int code = windows::deleteOpen(entry.get(), false)) return failed(code);
        return ActionResult::success();
    }

    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override {
        letGoOfWritten(folder);
        Handle entry;
        Looked seen;
        if (const int code = openIn(folder, name, windows::kRemoveAccess, entry, seen)) {
            return failed(code);
        }
        const EntryIdentity& now = seen.identity;
        const bool isFolder = now.type == EntryType::Folder;
        const bool asLeft =
            now.sameEntry(expected) &&
            (isFolder || (now.size == expected.size && now.modifiedNs == expected.modifiedNs));
        if (!asLeft) return changed();
        if (isFolder) return windows::removeTree(entry.get(), nullptr);
        if (const int code = windows::deleteOpen(entry.get(), true)) return failed(code);
        return ActionResult::success();
    }

    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        out = {};
        out.name = temporaryName;
        ActionResult result =
            windows::copyEntry(from->native(), name, expected, to->native(), temporaryName,
                               to->device(), stop, written_, out.source, out.made, out.manifest);
        out.size = out.source.size;
        return result;
    }

    // Flushing a file writes its data and the volume's log of names up to then (NTFS keeps one
    // log), so the renames and removals before are on disk too; the folder itself is flushed
    // for the runs that wrote no file.
    ActionResult flush(const OpenFolder& folder) override {
        const int code = written_.flush(folder->device());
        Handle writable;
        const int opened = windows::reopen(folder->native(), FILE_ADD_FILE, writable);
        if (opened == 0 && !FlushFileBuffers(writable.get()) && code == 0) {
            return failed(windows::lastErrorCode());
        }
        if (code != 0) return failed(code);
        // A folder this user may not write to was not written to by this run.
        if (opened != 0 && opened != EACCES) return failed(opened);
        return ActionResult::success();
    }

    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        ActionResult result;
        if (refused(name, result)) return result;
        Handle entry;
        Looked seen;
        if (const int code = openIn(folder, copy.name, kMoveAccess, entry, seen)) {
            return failed(code);
        }
        if (!seen.identity.sameEntry(copy.made)) return changed();
        result = renameOpen(entry.get(), folder->native(), name);
        if (!result.ok()) return result;
        if (const int code = windows::identityOf(entry.get(), made)) return failed(code);
        return result;
    }

    void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) override {
        letGoOfWritten(folder);
        Handle entry;
        Looked seen;
        if (openIn(folder, copy.name, windows::kRemoveAccess, entry, seen) != 0) return;
        if (seen.identity.type == EntryType::Folder) {
            windows::removeTree(entry.get(), nullptr);
        } else {
            windows::deleteOpen(entry.get(), true);
        }
    }

    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        Handle entry;
        Looked seen;
        if (const int code = openIn(from, name, windows::kRemoveAccess, entry, seen)) {
            return failed(code);
        }
        if (seen.identity.type == EntryType::Folder) {
            if (!seen.identity.sameEntry(copy.source)) return failures::changedWhileCopied();
            return windows::removeTree(entry.get(), &copy.manifest);
        }
        if (!(seen.identity == copy.source)) return failures::changedWhileCopied();
        // The entry moved: a read-only file goes as a move takes it.
        if (const int code = windows::deleteOpen(entry.get(), true)) return failed(code);
        return ActionResult::success();
    }

    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override {
        ActionResult result;
        if (refused(name, result)) return result;
        Handle file;
        windows::NewEntry entry;
        entry.options = FILE_NON_DIRECTORY_FILE;
        entry.attributes = FILE_ATTRIBUTE_NORMAL;
        if (const int code = windows::createEntryIn(folder->native(), name, GENERIC_WRITE | DELETE,
                                                    entry, file)) {
            return failed(code);
        }
        DWORD done = 0;
        const bool wrote = WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                                     &done, nullptr);
        if (!wrote || done != content.size()) {
            const int code = wrote ? ENOSPC : windows::lastErrorCode();
            windows::deleteOpen(file.get(), true);
            return failed(code);
        }
        if (const int kept = written_.keep(folder->device(), file.get())) {
            windows::deleteOpen(file.get(), true);
            return failed(kept);
        }
        return ActionResult::success();
    }

    ActionResult readSmallFile(const OpenFolder& folder, const std::string& name,
                               std::string& content) override {
        Handle file;
        if (const int code = windows::openEntryIn(folder->native(), name, GENERIC_READ,
                                                  FILE_NON_DIRECTORY_FILE, file)) {
            return failed(code);
        }
        content.resize(kSmallFileLimit);
        std::size_t got = 0;
        while (got < content.size()) {
            DWORD n = 0;
            if (!ReadFile(file.get(), content.data() + got,
                          static_cast<DWORD>(content.size() - got), &n, nullptr)) {
                return failed(windows::lastErrorCode());
            }
            if (n == 0) break;
            got += n;
        }
        content.resize(got);
        return ActionResult::success();
    }

    bool exists(const std::string& path) override {
        if (GetFileAttributesW(windows::systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }

    bool isFolder(const std::string& path) override {
        const Handle entry(CreateFileW(windows::systemPath(path).c_str(), kLookAccess,
                                       windows::kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        Looked seen;
        return entry.valid() && windows::look(entry.get(), seen) == 0 &&
               (seen.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

  private:
    // What a run made goes only after the files it wrote on that volume are let go of: where
    // a removed name stays until its last handle closes (before Windows 10), it would keep
    // its folder from going.
    void letGoOfWritten(const OpenFolder& folder) { written_.flush(folder->device()); }

    static constexpr DWORD kShapeAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    windows::Unflushed written_;
};

}  // namespace

FileActions& systemFileActions() {
    static WindowsFileActions actions;
    return actions;
}

}  // namespace kestrune
