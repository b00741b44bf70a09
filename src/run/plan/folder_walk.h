#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/entry_identity.h"
#include "platform/folder_listing.h"
#include "run/plan/filter_pieces.h"

namespace kestrune {

struct WalkRequest {
    std::string sourceRoot;      // ends with "/"
    std::int32_t depthCode = 0;  // 0 no limit; n >= 1 folders of depth up to n - 1
    // A folder neither entered nor selected: the target when it lies inside the source.
    std::optional<FolderId> skip = std::nullopt;
    // Whether each selected entry's identity is looked at, and each folder checked to be
    // the one its parent listed: a run checks them before acting, a preview acts on nothing.
    bool identities = true;
    // Once it reads true the walk lists no further folder and returns what it has.
    const std::atomic<bool>* stop = nullptr;
};

// The members are in an order that leaves no gaps: a walk keeps one for every entry.
struct SelectedEntry {
    std::string name;
    EntryIdentity identity;  // as listed
    std::size_t folder = 0;  // index into WalkResult::folders
    int error = 0;           // errno when the entry could not be looked at
    // A folder that the walk enters as well: its own entries are selected one by one.
    bool entered = false;
};

// A folder below the source that could not be listed.
struct UnlistedFolder {
    std::string path;  // ends with "/"
    int error = 0;     // an errno value
};

struct WalkResult {
    // Every folder looked into, the source root first, in pre-order; each ends with "/".
    std::vector<std::string> folders;
    // Grouped by folder, then by filter piece, then by name; each path at most once. Kept in
    // blocks that never move: a walk of a large tree selects a hundred thousand entries,
    // and a vector would copy them all again and again as it grows, into fresh memory.
    std::deque<SelectedEntry> selection;
    std::vector<UnlistedFolder> unlisted;

    std::string path(const SelectedEntry& entry) const;
    // The same written into `path`, which keeps its room.
    void path(const SelectedEntry& entry, std::string& path) const;
};

// Walks the plain folders below the source root to the depth and selects the entries that
// match a filter piece, listing each folder once. Plain folders are real folders on the same
// file system, neither hidden nor symbolic links; FIFOs, sockets and devices are never selected.
WalkResult walkAndSelect(const WalkRequest& request, const FilterPieces& filters);

}  // namespace kestrune
