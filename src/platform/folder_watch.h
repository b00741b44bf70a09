#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestrune {

enum class WatchEventKind {
    EntryArrived,  // created in, or moved into, a watched folder
    EntryWritten,  // closed after being written
    EntryGone,     // deleted from, or moved out of, a watched folder
    FolderAdded,   // a subfolder was created in, or moved into, a watched folder
    FolderGone,    // a subfolder was deleted or moved away
    WatchLost,     // the watched folder itself went away or its file system was unmounted
    Overflow,      // the system dropped events: anything may have changed
};

struct WatchEvent {
    WatchEventKind kind = WatchEventKind::EntryArrived;
    std::string folder;  // as it was given to add(); empty for Overflow
    std::string name;    // the entry within it; empty for WatchLost and Overflow
};

// Watches folders (not their subfolders) for entries that appear, are written or go.
// Reading never blocks longer than asked, so one thread can wait on it beside other work.
class FolderWatch {
  public:
    virtual ~FolderWatch() = default;

    // Starts watching a folder. Returns an empty string, or why the folder cannot be watched.
    // Watching a folder again is harmless.
    virtual std::string add(const std::string& folder) = 0;
    // Stops watching it; no events for it follow. Unknown folders are ignored.
    virtual void remove(const std::string& folder) = 0;
    virtual std::size_t size() const = 0;

    // A descriptor that becomes readable when events wait, for a caller's own poll loop;
    // -1 when the platform has none.
    virtual int descriptor() const = 0;
    // The events that arrived, waiting up to timeoutMs for the first (0: do not wait).
    virtual std::vector<WatchEvent> read(int timeoutMs) = 0;
};

// The system's folder watch. Throws std::system_error when the system refuses to make one.
std::unique_ptr<FolderWatch> makeFolderWatch();

}  // namespace kestrune
