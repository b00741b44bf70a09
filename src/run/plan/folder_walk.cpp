#include "run/plan/folder_walk.h"

#include <cstdint>

#include "platform/entry_identity.h"
#include "platform/temporary_name.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// A folder to list: the open folder it was found in, its name there and what it was then.
struct PendingFolder {
    OpenFolder parent;
    std::string name;
    FolderId id;
    std::string path;
    std::int32_t depth;
};

bool isPlainFolder(const FolderEntry& entry, const WalkRequest& request) {
    return entry.type == EntryType::Folder && entry.sameFileSystem && entry.name[0] != '.' &&
           entry.id != request.skip;
}

bool withinDepth(std::int32_t depth, std::int32_t depthCode) {
    return depthCode == 0 || depth <= depthCode - 1;
}

// A run's own temporary copies are never selected, by this run or another.
bool isSelectable(const FolderEntry& entry, const WalkRequest& request) {
    if (entry.type == EntryType::Other || isTemporaryName(entry.name)) return false;
    return entry.type != EntryType::Folder || entry.id != request.skip;
}

constexpr std::uint32_t kNoPiece = UINT32_MAX;

// The first filter piece that selects the entry, or kNoPiece.
std::uint32_t firstPiece(const FolderEntry& entry, const FilterPieces& filters,
                         const WalkRequest& request) {
    if (!isSelectable(entry, request)) return kNoPiece;
    const std::string extension = upperAscii(extensionOf(entry.name));
    for (std::uint32_t piece = 0; piece < filters.size(); ++piece) {
        if (filters.matches(piece, extension)) return piece;
    }
    return kNoPiece;
}

// Each entry's extension is looked at once, then the entries are taken piece by piece.
void select(const FolderListing& listing, std::size_t folder, bool entersSubfolders,
            const FilterPieces& filters, const WalkRequest& request,
            std::deque<SelectedEntry>& selection) {
    const auto& entries = listing.entries;
    std::vector<std::uint32_t> pieces(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        pieces[i] = firstPiece(entries[i], filters, request);
    }
    for (std::uint32_t piece = 0; piece < filters.size(); ++piece) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (pieces[i] != piece) continue;
            SelectedEntry& selected = selection.emplace_back();
            selected.folder = folder;
            selected.name = entries[i].name;
            selected.entered = entersSubfolders && isPlainFolder(entries[i], request);
            if (request.identities) {
                selected.error = readIdentityIn(listing.folder, entries[i].name, selected.identity);
            }
        }
    }
}

}  // namespace

std::string WalkResult::path(const SelectedEntry& entry) const {
    return joined(folders[entry.folder], entry.name);
}

void WalkResult::path(const SelectedEntry& entry, std::string& path) const {
    path.assign(folders[entry.folder]).append(entry.name);
}

WalkResult walkAndSelect(const WalkRequest& request, const FilterPieces& filters) {
    WalkResult result;
    std::vector<PendingFolder> pending{{nullptr, {}, {}, request.sourceRoot, 0}};
    while (!pending.empty()) {
        if (request.stop != nullptr && request.stop->load()) break;
        PendingFolder current = std::move(pending.back());
        pending.pop_back();
        const FolderListing listing =
            current.parent == nullptr
                ? listFolder(current.path)
                : listFolderBelow(current.parent, current.name, current.id, request.identities);
        if (!listing.listed) result.unlisted.push_back({current.path, listing.error});
        const std::size_t index = result.folders.size();
        result.folders.push_back(current.path);
        const bool entersSubfolders = withinDepth(current.depth + 1, request.depthCode);
        select(listing, index, entersSubfolders, filters, request, result.selection);
        if (!entersSubfolders) continue;
        // Pushed in reverse so that the first subfolder is walked first.
        for (auto it = listing.entries.rbegin(); it != listing.entries.rend(); ++it) {
            if (isPlainFolder(*it, request)) {
                pending.push_back({listing.folder, it->name, it->id, current.path + it->name + "/",
                                   current.depth + 1});
            }
        }
    }
    return result;
}

}  // namespace kestrune
