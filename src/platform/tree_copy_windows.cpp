#include "platform/tree_copy_windows.h"

#include <windows.h>
#include <winioctl.h>

#include <cerrno>
#include <memory>

namespace kestrune::windows {

namespace {

constexpr DWORD kBuffer = 1 << 20;
// A stop request is looked at before each chunk: a large file stops within a second.
constexpr std::uint64_t kChunk = 8 << 20;
// The attributes a copy takes along; the others are the file system's own.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kReadAccess = GENERIC_READ;
constexpr DWORD kWriteAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES;
constexpr DWORD kFolderWriteAccess = FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                                     FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE;
constexpr std::size_t kReparseBuffer = 16 * 1024;

bool stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// Writes the whole buffer; 0 or an errno-style code.
int writeAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD done = 0;
        if (!WriteFile(file, data, size, &done, nullptr)) return lastErrorCode();
        if (done == 0) return ENOSPC;
        data += done;
        size -= done;
    }
    return 0;
}

ActionResult copyContent(HANDLE in, HANDLE out, const std::atomic<bool>* stop) {
    thread_local std::unique_ptr<char[]> buffer(new char[kBuffer]);
    for (std::uint64_t sinceLook = kChunk;;) {  // looked at before the first chunk too
        if (sinceLook >= kChunk) {
            if (stopped(stop)) return failures::stopped();
            sinceLook = 0;
        }
        DWORD got = 0;
        if (!ReadFile(in, buffer.get(), kBuffer, &got, nullptr)) return failed(lastErrorCode());
        if (got == 0) return ActionResult::success();
        if (const int code = writeAll(out, buffer.get(), got)) return failed(code);
        sinceLook += got;
    }
}

// The alternate data streams of a file: a download's Zone.Identifier says where it came from,
// which Windows asks about before running it, so a copy keeps it. A file system without
// streams has none to copy.
ActionResult copyStreams(HANDLE in, HANDLE out, std::uint64_t volume, Unflushed& written) {
    std::vector<char> info(64 * 1024);
    if (!GetFileInformationByHandleEx(in, FileStreamInfo, info.data(),
                                      static_cast<DWORD>(info.size()))) {
        return ActionResult::success();
    }
    for (DWORD at = 0;;) {
        const auto& stream = *reinterpret_cast<const FILE_STREAM_INFO*>(info.data() + at);
        const std::wstring name(stream.StreamName, stream.StreamNameLength / sizeof(wchar_t));
        if (name != L"::$DATA" && !name.empty()) {
            Handle from, to;
            NewEntry entry;
            entry.options = FILE_NON_DIRECTORY_FILE;
            int code = openEntryIn(in, utf8(name), kReadAccess, FILE_NON_DIRECTORY_FILE, from);
            if (code == 0) code = createEntryIn(out, utf8(name), kWriteAccess, entry, to);
            if (code != 0) return failed(code);
            ActionResult copied = copyContent(from.get(), to.get(), nullptr);
            if (!copied.ok()) return copied;
            if (const int kept = written.keep(volume, to.get())) return failed(kept);
        }
        if (stream.NextEntryOffset == 0) return ActionResult::success();
        at += stream.NextEntryOffset;
    }
}

// Times and attributes, set last: writing would change the times again.
int keepTimesAndAttributes(HANDLE out, const FILE_BASIC_INFO& source) {
    FILE_BASIC_INFO basic = source;
    basic.ChangeTime.QuadPart = 0;  // the system's own
    basic.FileAttributes = source.FileAttributes & kKeptAttributes;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(out, FileBasicInfo, &basic, sizeof basic) ? 0
                                                                                : lastErrorCode();
}

int basicOf(HANDLE entry, FILE_BASIC_INFO& basic) {
    return GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)
               ? 0
               : lastErrorCode();
}

// Takes back a copy that failed half-way, through the handle it was made with.
void undoCopy(HANDLE made, bool folder) {
    if (folder) {
        removeTree(made, nullptr);
    } else {
        deleteOpen(made, true);
    }
}

ActionResult copyFile(HANDLE in, const Looked& before, HANDLE to, const std::string& newName,
                      std::uint64_t volume, const std::atomic<bool>* stop, Unflushed& written,
                      EntryIdentity& made) {
    FILE_BASIC_INFO basic{};
    if (const int code = basicOf(in, basic)) return failed(code);
    Handle out;
    NewEntry entry;
    entry.options = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;
    entry.attributes = FILE_ATTRIBUTE_NORMAL;
    entry.allocation = before.identity.size;
    if (const int code = createEntryIn(to, newName, kWriteAccess, entry, out)) return failed(code);
    ActionResult result = copyContent(in, out.get(), stop);
    if (result.ok()) result = copyStreams(in, out.get(), volume, written);
    Looked after;
    if (result.ok()) {
        if (const int seen = look(in, after)) {
            result = failed(seen);
        } else if (!(after.identity == before.identity)) {
            result = failures::changedWhileCopied();
        } else if (const int kept = written.keep(volume, out.get())) {
            result = failed(kept);
        } else if (const int code = keepTimesAndAttributes(out.get(), basic)) {
            result = failed(code);
        } else if (const int own = identityOf(out.get(), made)) {
            result = failed(own);
        }
    }
    if (!result.ok()) undoCopy(out.get(), false);
    return result;
}

// A symbolic link or junction copied as itself: its reparse data set on a new entry of its
// kind. Windows lets only some users make symbolic links; the copy then fails with its reason.
ActionResult copyLink(HANDLE in, const Looked& before, HANDLE to, const std::string& newName,
                      EntryIdentity& made) {
    std::vector<char> data(kReparseBuffer);
    DWORD size = 0;
    if (!DeviceIoControl(in, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                         static_cast<DWORD>(data.size()), &size, nullptr)) {
        return failed(lastErrorCode());
    }
    FILE_BASIC_INFO basic{};
    if (const int code = basicOf(in, basic)) return failed(code);
    const bool folder = (before.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    Handle out;
    NewEntry entry;
    entry.options = folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
    const DWORD access = folder ? kFolderWriteAccess : kWriteAccess;
    if (const int code = createEntryIn(to, newName, access, entry, out)) return failed(code);
    DWORD unused = 0;
    int code = 0;
    if (!DeviceIoControl(out.get(), FSCTL_SET_REPARSE_POINT, data.data(), size, nullptr, 0, &unused,
                         nullptr)) {
        code = lastErrorCode();
    }
    if (code == 0) code = keepTimesAndAttributes(out.get(), basic);
    if (code == 0) code = identityOf(out.get(), made);
    if (code != 0) {
        deleteOpen(out.get(), true);
        return failed(code);
    }
    return ActionResult::success();
}

ActionResult copyOpen(HANDLE in, const Looked& before, HANDLE to, const std::string& newName,
                      std::uint64_t volume, const std::atomic<bool>* stop, Unflushed& written,
                      const std::string& prefix, EntryIdentity& made, CopyManifest& manifest);

ActionResult copyInto(HANDLE from, HANDLE to, std::uint64_t volume, const std::atomic<bool>* stop,
                      Unflushed& written, const std::string& prefix, CopyManifest& manifest) {
    std::vector<FolderEntry> entries;
    if (const int code = readFolder(from, volume, entries)) return failed(code);
    for (const FolderEntry& child : entries) {
        Handle in;
        Looked before;
        if (int code = openEntryIn(from, child.name, kReadAccess, 0, in);
            code != 0 || (code = look(in.get(), before)) != 0) {
            return failed(code);
        }
        const std::string below = prefix + child.name;
        EntryIdentity made;
        ActionResult result = copyOpen(in.get(), before, to, child.name, volume, stop, written,
                                       below + "/", made, manifest);
        if (!result.ok()) return result;
        manifest[below] = before.identity;
    }
    return ActionResult::success();
}

ActionResult copyFolder(HANDLE in, HANDLE to, const std::string& newName, std::uint64_t volume,
                        const std::atomic<bool>* stop, Unflushed& written,
                        const std::string& prefix, EntryIdentity& made, CopyManifest& manifest) {
    FILE_BASIC_INFO basic{};
    if (const int code = basicOf(in, basic)) return failed(code);
    Handle out;
    NewEntry entry;
    entry.options = FILE_DIRECTORY_FILE;
    if (const int code = createEntryIn(to, newName, kFolderWriteAccess, entry, out)) {
        return failed(code);
    }
    ActionResult result = copyInto(in, out.get(), volume, stop, written, prefix, manifest);
    if (result.ok()) {
        if (int code = keepTimesAndAttributes(out.get(), basic);
            code != 0 || (code = identityOf(out.get(), made)) != 0) {
            result = failed(code);
        }
    }
    if (!result.ok()) undoCopy(out.get(), true);
    return result;
}

ActionResult copyOpen(HANDLE in, const Looked& before, HANDLE to, const std::string& newName,
                      std::uint64_t volume, const std::atomic<bool>* stop, Unflushed& written,
                      const std::string& prefix, EntryIdentity& made, CopyManifest& manifest) {
    switch (before.identity.type) {
        case EntryType::File:
            return copyFile(in, before, to, newName, volume, stop, written, made);
        case EntryType::Link:
            return copyLink(in, before, to, newName, made);
        case EntryType::Folder:
            return copyFolder(in, to, newName, volume, stop, written, prefix, made, manifest);
        case EntryType::Other:
            break;
    }
    return ActionResult::failure(EINVAL, "Not a regular file");
}

bool asCopied(const CopyManifest& manifest, const std::string& below, const EntryIdentity& now) {
    const auto found = manifest.find(below);
    if (found == manifest.end()) return false;
    if (now.type == EntryType::Folder) return now.sameEntry(found->second);
    return now == found->second;
}

// Removes what the open folder holds (only what the manifest holds, when given); false when
// anything had to stay.
bool emptyFolder(HANDLE folder, const std::string& prefix, const CopyManifest* manifest) {
    std::vector<FolderEntry> entries;
    if (readFolder(folder, 0, entries) != 0) return false;
    bool all = true;
    for (const FolderEntry& child : entries) {
        Handle entry;
        Looked now;
        if (openEntryIn(folder, child.name, kRemoveAccess, 0, entry) != 0 ||
            look(entry.get(), now) != 0) {
            all = false;
            continue;
        }
        const std::string below = prefix + child.name;
        if (manifest != nullptr && !asCopied(*manifest, below, now.identity)) {
            all = false;
            continue;
        }
        if (now.identity.type == EntryType::Folder &&
            !emptyFolder(entry.get(), below + "/", manifest)) {
            all = false;
            continue;
        }
        if (deleteOpen(entry.get(), true) != 0) all = false;
    }
    return all;
}

}  // namespace

int Unflushed::keep(std::uint64_t volume, HANDLE file) {
    Handle writable;
    if (const int code = reopen(file, FILE_WRITE_DATA, writable)) return code;
    const std::lock_guard<std::mutex> lock(mutex_);
    files_[volume].push_back(std::move(writable));
    return 0;
}

int Unflushed::flush(std::uint64_t volume) {
    std::vector<Handle> files;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto found = files_.find(volume);
        if (found == files_.end()) return 0;
        files = std::move(found->second);
        files_.erase(found);
    }
    int first = 0;
    for (const Handle& file : files) {
        if (!FlushFileBuffers(file.get()) && first == 0) first = lastErrorCode();
    }
    return first;
}

int look(HANDLE entry, Looked& out) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag)) {
        return lastErrorCode();
    }
    out.attributes = tag.FileAttributes;
    return identityOf(entry, out.identity);
}

ActionResult copyEntry(HANDLE from, const std::string& name, const EntryIdentity& listed, HANDLE to,
                       const std::string& newName, std::uint64_t volume,
                       const std::atomic<bool>* stop, Unflushed& written, EntryIdentity& source,
                       EntryIdentity& made, CopyManifest& manifest) {
    Handle in;
    Looked before;
    if (int code = openEntryIn(from, name, kReadAccess, 0, in);
        code != 0 || (code = look(in.get(), before)) != 0) {
        return failed(code);
    }
    if (!before.identity.sameEntry(listed)) return failures::changed();
    source = before.identity;
    return copyOpen(in.get(), before, to, newName, volume, stop, written, "", made, manifest);
}

ActionResult removeTree(HANDLE folder, const CopyManifest* manifest) {
    if (!emptyFolder(folder, "", manifest)) return failures::notAllRemoved();
    if (const int code = deleteOpen(folder, true)) return failed(code);
    return ActionResult::success();
}

}  // namespace kestrune::windows
