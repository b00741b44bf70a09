#pragma once

// Copying and removing whole entries through open folders, for the Windows file actions;
// only *_windows.cpp files include this.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_actions.h"
#include "platform/file_support_windows.h"

namespace kestrune::windows {

inline ActionResult failed(int code) {
    return ActionResult::failure(code);
}

// Files written since their volume was last flushed, held open until then: flushing takes a
// handle that may write, and a copy made read-only could not be opened so again. The handle
// kept may write only, so that it keeps nobody from reading, renaming or removing the file.
class Unflushed {
  public:
    // Keeps a second handle of the open file, taken before it is made read-only.
    int keep(std::uint64_t volume, HANDLE file);
    // Flushes and closes the files kept for that volume; 0 or the first error.
    int flush(std::uint64_t volume);

  private:
    std::mutex mutex_;
    std::unordered_map<std::uint64_t, std::vector<Handle>> files_;
};

// An open entry's identity with its attributes, as one look takes them.
struct Looked {
    EntryIdentity identity;
    DWORD attributes = 0;
};
int look(HANDLE entry, Looked& out);

// Copies the entry `name` of folder `from`, which must still be the entry `listed`, to
// `newName` in folder `to` (on volume `volume`): a file with its content, its alternate data
// streams (a download's mark of where it came from), times and attributes, a link as a link,
// a folder with everything in it (each entry recorded in `manifest`). `source` is the entry
// as the copy began, `made` the copy. Fails with ECANCELED when *stop turns true between
// chunks. Nothing is left behind on failure.
ActionResult copyEntry(HANDLE from, const std::string& name, const EntryIdentity& listed, HANDLE to,
                       const std::string& newName, std::uint64_t volume,
                       const std::atomic<bool>* stop, Unflushed& written, EntryIdentity& source,
                       EntryIdentity& made, CopyManifest& manifest);

// Removes the open folder (opened with FILE_LIST_DIRECTORY and DELETE) with everything in
// it, read-only entries too. Given a manifest, only the entries it holds, as it holds them:
// anything added or changed since stays, and so does the folder, which then fails.
ActionResult removeTree(HANDLE folder, const CopyManifest* manifest);

// The access that opening an entry to remove it whole takes.
inline constexpr DWORD kRemoveAccess =
    DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | FILE_LIST_DIRECTORY;

}  // namespace kestrune::windows
