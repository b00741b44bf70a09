#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/entry_identity.h"
#include "platform/folder_handle.h"
#include "platform/folder_shape.h"

namespace kestrune {

// The outcome of one file action: success, or the system's error code and text.
struct ActionResult {
    int code = 0;  // an errno value; 0 on success
    std::string error;

    bool ok() const { return code == 0; }
    static ActionResult success() { return {}; }
    static ActionResult failure(int code);
    static ActionResult failure(int code, std::string text);
};

// The failures that every system's file actions give in the same words.
namespace failures {
ActionResult changed();             // ESTALE: the entry changed since it was listed
ActionResult changedWhileCopied();  // ESTALE: the source changed while it was copied
ActionResult replacedFolder(int code, const std::string& path);  // a folder now a link
ActionResult notAllRemoved();  // ENOTEMPTY: something in a folder was added since
ActionResult stopped();        // ECANCELED: a stop request cut a copy short
}  // namespace failures

// What the copy of a folder took: every entry below it, by its path relative to the folder,
// as it was when copied. Removing the source afterwards takes exactly these, so nothing
// added or changed meanwhile is lost.
using CopyManifest = std::unordered_map<std::string, EntryIdentity>;

// A complete copy under a temporary name in its target folder, not yet in place.
struct TemporaryCopy {
    std::string name;
    EntryIdentity source;  // the source as the copy began: a move removes it only unchanged
    EntryIdentity made;    // the copy itself, as it waits under its temporary name
    std::uint64_t size = 0;
    CopyManifest manifest;  // for a folder
};

// The file actions of a plan's executor, every one through open folders: an entry is named
// by its folder and its name, never by a path looked up again. None ever replaces an
// existing entry, and each checks the entry it acts on against the identity it is expected
// to have: an entry changed or replaced since fails with "the entry changed since it was
// listed". A test may stand in for any of them, to make it fail or to cut the power.
class FileActions {
  public:
    virtual ~FileActions() = default;

    // Opens a plan's root folder by its path, following links at and above it.
    virtual ActionResult openRoot(const std::string& path, OpenFolder& out) = 0;
    // Opens a folder in an open folder, never through a symbolic link: a link or anything
    // else in its place fails "the folder PATH was replaced since it was listed".
    virtual ActionResult openBelow(const OpenFolder& parent, const std::string& name,
                                   OpenFolder& out) = 0;
    // Makes a folder in an open folder: EEXIST when any entry of that name exists. A private
    // folder (mode 700; on Windows this user's alone, hidden, as the Recycle Bin's folders
    // are) must then be this user's own and no link, else it fails.
    virtual ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                                    bool private_ = false) = 0;
    // Removes an empty folder; one with anything in it stays and fails.
    virtual ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                                      const EntryIdentity& expected) = 0;
    virtual ActionResult readShape(const OpenFolder& folder, const std::string& name,
                                   FolderShape& out) = 0;
    virtual ActionResult giveShape(const OpenFolder& folder, const std::string& name,
                                   const FolderShape& shape) = 0;

    // Renames within one file system, failing when the new name is taken (EEXIST) or lies
    // on another file system (EXDEV). `made` is what then stands at the new name.
    virtual ActionResult rename(const OpenFolder& from, const std::string& name,
                                const EntryIdentity& expected, const OpenFolder& to,
                                const std::string& newName, EntryIdentity& made) = 0;
    // Deletes a file or a symbolic link itself, as a user's delete does: a folder fails, and
    // so does a read-only file ("Read-only file").
    virtual ActionResult remove(const OpenFolder& folder, const std::string& name,
                                const EntryIdentity& expected) = 0;
    // Removes an entry a run made (a copy, or a temporary copy), read-only or not, a folder
    // with everything in it, when it is still as it was left: the same entry, size and
    // modification time.
    virtual ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                                    const EntryIdentity& expected) = 0;

    // Copies the entry to the temporary name in `to`, unflushed: a file with its content,
    // mode, times (and owner and extended attributes where allowed), a link as a link, a
    // folder with everything in it. A source that changes while it is copied fails with
    // "the source changed while it was copied"; a stop request (checked between chunks)
    // fails with ECANCELED; either way nothing is left behind.
    virtual ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                         const EntryIdentity& expected, const OpenFolder& to,
                                         const std::string& temporaryName,
                                         const std::atomic<bool>* stop, TemporaryCopy& out) = 0;
    // Puts everything written to the folder's file system on disk.
    virtual ActionResult flush(const OpenFolder& folder) = 0;
    // Renames a flushed temporary copy to its final name, failing when the name is taken.
    virtual ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                        const std::string& name, EntryIdentity& made) = 0;
    virtual void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) = 0;
    // Removes the source of a placed copy (a folder with everything in it), when it is
    // unchanged since the copy began.
    virtual ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                            const TemporaryCopy& copy) = 0;

    // Writes a new small file (a .trashinfo), unflushed; EEXIST when the name is taken.
    virtual ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                                      const std::string& content) = 0;
    // Reads a small file of an open folder (a .trashinfo), never through a link.
    virtual ActionResult readSmallFile(const OpenFolder& folder, const std::string& name,
                                       std::string& content) = 0;

    // Looks that planning takes by path; they change nothing.
    // True when any entry of that name exists: file, folder or link, dangling links too.
    virtual bool exists(const std::string& path) = 0;
    // True when the path names a folder, through symbolic links.
    virtual bool isFolder(const std::string& path) = 0;
};

// The platform's file actions.
FileActions& systemFileActions();

}  // namespace kestrune
