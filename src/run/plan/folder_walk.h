#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/entry_identity.h"
#include "platform/folder_listing.h"
#include "run/plan/conditions.h"
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
    // Whether a plain file's identity is the listing's own (the walk's file system, the
    // inode the listing gave, a file) instead of a look at it, where the listing gives one:
    // enough for a run that only renames, whose check before each rename looks at the entry.
    bool filesAsListed = false;
    // Once it reads true the walk lists no further folder and returns what it has.
    const std::atomic<bool>* stop = nullptr;
    // The conditions beside the filters; none when null. An excluded folder is not entered.
    const Conditions* conditions = nullptr;
    // The time ages are judged at, nanoseconds since the epoch.
    std::int64_t nowNs = 0;
    // Whether each selected entry's identity is looked at even without `identities`: its
    // modification time places it.
    bool modifiedTimes = false;
    // Told of each entry listed but not selected, and of the first rule it failed.
    std::function<void(const std::string& path, PassedOver why)> passedOver = nullptr;
};

// The members are in an order that leaves no gaps.
struct SelectedEntry {
    std::string name;
    EntryIdentity identity;   // as listed
    std::size_t folder = 0;   // the folder's index in the walk: 0 for the source root
    std::uint64_t inode = 0;  // as the listing gave it, without a look at the entry
    int error = 0;            // errno when the entry could not be looked at
    // A folder that the walk enters as well: its own entries are selected one by one.
    bool entered = false;
};

// A folder below the source that could not be listed.
struct UnlistedFolder {
    std::string path;  // ends with "/"
    int error = 0;     // an errno value
};

// One folder of a walk, handed on as soon as it is listed and judged: nothing of it is kept
// once the visitor returns, so a walk of a million entries holds one folder's at a time.
struct WalkedFolder {
    const std::string& path;  // ends with "/"
    std::size_t index = 0;    // 0 for the source root, then one more a folder, in pre-order
    // Grouped by filter piece, then by name; each entry's `folder` is `index`.
    const std::vector<SelectedEntry>& selected;
    std::uint64_t device = 0;  // the source's file system: the walk enters no other
};

// Takes a walk's folders one at a time, in pre-order.
class WalkVisitor {
  public:
    virtual ~WalkVisitor() = default;
    // Told before the folder itself, which then comes with nothing selected.
    virtual void unlisted(const UnlistedFolder& /*folder*/) {}
    virtual void folder(const WalkedFolder& folder) = 0;
};

// Walks the plain folders below the source root to the depth and selects the entries that
// match a filter piece and pass the conditions, listing each folder once and handing each on
// to the visitor, the source root first, then in pre-order. Plain folders are real folders
// on the same file system, neither hidden, nor symbolic links, nor excluded; FIFOs, sockets
// and devices are never selected.
void walkFolders(const WalkRequest& request, const FilterPieces& filters, WalkVisitor& visitor);

// A whole walk, kept: for a small tree, or a caller that needs it all at once.
struct WalkResult {
    // Every folder looked into, the source root first, in pre-order; each ends with "/".
    std::vector<std::string> folders;
    // Grouped by folder, then by filter piece, then by name; each path at most once.
    std::deque<SelectedEntry> selection;
    std::vector<UnlistedFolder> unlisted;
    // The source's file system: the walk enters no other.
    std::uint64_t device = 0;

    std::string path(const SelectedEntry& entry) const;
};

// walkFolders, keeping everything.
WalkResult walkAndSelect(const WalkRequest& request, const FilterPieces& filters);

}  // namespace kestrune
