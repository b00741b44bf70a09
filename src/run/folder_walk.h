#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/folder_listing.h"
#include "run/filter_pieces.h"

namespace kestrune {

struct WalkRequest {
    std::string sourceRoot;      // ends with "/"
    std::int32_t depthCode = 0;  // 0 no limit; n >= 1 folders of depth up to n - 1
    // A folder neither entered nor selected: the target when it lies inside the source.
    std::optional<FolderId> skip;
    // Once it reads true the walk lists no further folder and returns what it has.
    const std::atomic<bool>* stop = nullptr;
};

struct SelectedEntry {
    std::size_t folder;  // index into WalkResult::folders
    std::string name;
};

struct WalkResult {
    // Every folder looked into, the source root first, in pre-order; each ends with "/".
    std::vector<std::string> folders;
    // Grouped by folder, then by filter piece, then by name; each path at most once.
    std::vector<SelectedEntry> selection;

    std::string path(const SelectedEntry& entry) const {
        return folders[entry.folder] + entry.name;
    }
};

// Walks the plain folders below the source root to the depth and selects the entries that
// match a filter piece, listing each folder once. Plain folders are real folders on the same
// file system, neither hidden nor symbolic links; FIFOs, sockets and devices are never selected.
WalkResult walkAndSelect(const WalkRequest& request, const FilterPieces& filters);

}  // namespace kestrune
