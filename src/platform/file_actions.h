#pragma once

#include <cstdint>
#include <string>

#include "platform/entry_identity.h"
#include "platform/folder_handle.h"

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

// A complete copy under a temporary name in its target folder, not yet in place.
struct TemporaryCopy {
    std::string name;
    EntryIdentity source;  // the source as the copy began: a move removes it only unchanged
    std::uint64_t size = 0;
};

// The file actions of a run. None of them ever replaces an existing entry, and each checks
// the entry it acts on against the identity it had when listed: an entry changed or
// replaced since fails with "the entry changed since it was listed". A test may stand in
// for any of them to make it fail.
class FileActions {
  public:
    virtual ~FileActions() = default;

    // Opens the folder `relative` ("", or "a/b/") below root, one name at a time, never
    // following a symbolic link below root.
    virtual ActionResult openFolder(const std::string& root, const std::string& relative,
                                    OpenFolder& out) = 0;
    // Renames within one file system, failing when the new name is taken (EEXIST) or lies
    // on another file system (EXDEV). `made` is what then stands at the new name.
    virtual ActionResult rename(const OpenFolder& from, const std::string& name,
                                const EntryIdentity& expected, const OpenFolder& to,
                                const std::string& newName, EntryIdentity& made) = 0;
    // Removes a file or a symbolic link itself; a folder or a read-only file fails.
    virtual ActionResult remove(const OpenFolder& folder, const std::string& name,
                                const EntryIdentity& expected) = 0;
    // Removes an empty folder; one with anything in it stays and fails.
    virtual ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                                      const EntryIdentity& expected) = 0;
    // Copies content, mode, times (and owner and extended attributes where allowed) to a
    // new temporary name in `to`, unflushed. followLink copies the file a link names;
    // otherwise a link is copied as a link. A source that changes while it is copied fails
    // with "the source changed while it was copied", and nothing is left behind.
    virtual ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                         const EntryIdentity& expected, bool followLink,
                                         const OpenFolder& to, TemporaryCopy& out) = 0;
    // Puts everything written to the folder's file system on disk.
    virtual ActionResult flush(const OpenFolder& folder) = 0;
    // Renames a flushed temporary copy to its final name, failing when the name is taken.
    virtual ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                        const std::string& name, EntryIdentity& made) = 0;
    virtual void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) = 0;
    // Removes the source of a placed copy, when it is unchanged since the copy began.
    virtual ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                            const TemporaryCopy& copy) = 0;

    // Creates one folder; EEXIST when any entry of that name exists already.
    virtual ActionResult makeFolder(const std::string& path) = 0;
    // True when any entry of that name exists: file, folder or link, dangling links too.
    virtual bool exists(const std::string& path) = 0;
    // True when the path names a folder, through symbolic links.
    virtual bool isFolder(const std::string& path) = 0;
};

// The platform's file actions.
FileActions& systemFileActions();

}  // namespace kestrune
