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

bool isExcluded(const FolderEntry& entry, const WalkRequest& request) {
    return request.conditions != nullptr && request.conditions->excludes(entry.name);
}

bool isPlainFolder(const FolderEntry& entry, const WalkRequest& request) {
    return entry.type == EntryType::Folder && entry.sameFileSystem && entry.name[0] != '.' &&
           entry.id != request.skip && !isExcluded(entry, request);
}

bool withinDepth(std::int32_t depth, std::int32_t depthCode) {
    return depthCode == 0 || depth <= depthCode - 1;
}

// A run's own temporary copies are never selected, by this run or another.
PassedOver byKind(const FolderEntry& entry, const WalkRequest& request) {
    if (entry.type == EntryType::Other) return PassedOver::Special;
    if (isTemporaryName(entry.name)) return PassedOver::Temporary;
    if (entry.type == EntryType::Folder && entry.id == request.skip) return PassedOver::Target;
    return PassedOver::None;
}

constexpr std::uint32_t kNoPiece = UINT32_MAX;

// The first filter piece that selects the entry, or kNoPiece.
std::uint32_t firstPiece(const FolderEntry& entry, const FilterPieces& filters) {
    const std::string extension = upperAscii(extensionOf(entry.name));
    for (std::uint32_t piece = 0; piece < filters.size(); ++piece) {
        if (filters.matches(piece, extension)) return piece;
    }
    return kNoPiece;
}

// What the walk made of one listed entry.
struct Judged {
    std::uint32_t piece = kNoPiece;  // the piece that selects it
    bool looked = false;             // its identity (or the error) is in the folder's scratch
};

// Selects the entries of one listed folder. Each entry's extension is looked at once, then
// the entries are taken piece by piece; an entry is looked at on disk only for a condition
// that asks for its size or time, or when the request wants every identity.
class FolderSelector {
  public:
    FolderSelector(const WalkRequest& request, const FilterPieces& filters)
        : request_(request), filters_(filters) {}

    // The folder's selected entries, into `selected`.
    void select(const FolderListing& listing, const std::string& path, std::size_t folder,
                std::uint64_t device, bool entersSubfolders, std::vector<SelectedEntry>& selected) {
        path_ = &path;
        selected.clear();
        const auto& entries = listing.entries;
        judged_.assign(entries.size(), Judged{});
        if (looksAtEntries()) {
            identities_.resize(entries.size());
            errors_.resize(entries.size());
        }
        for (std::size_t i = 0; i < entries.size(); ++i) judge(listing, i);
        for (std::uint32_t piece = 0; piece < filters_.size(); ++piece) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (judged_[i].piece != piece) continue;
                SelectedEntry& entry = selected.emplace_back();
                entry.folder = folder;
                entry.name = entries[i].name;
                entry.inode = entries[i].inode;
                entry.entered = entersSubfolders && isPlainFolder(entries[i], request_);
                if (judged_[i].looked) {
                    entry.identity = identities_[i];
                    entry.error = errors_[i];
                } else if (takenAsListed(entries[i])) {
                    entry.identity = listedIdentity(listing, entries[i], device, entry.error);
                } else if (request_.identities || request_.modifiedTimes) {
                    entry.error = readIdentityIn(listing.folder, entries[i].name, entry.identity);
                }
            }
        }
    }

  private:
    bool takenAsListed(const FolderEntry& entry) const {
        return request_.filesAsListed && listings_ != Listings::Distrusted &&
               !request_.modifiedTimes && entry.inode != 0 && entry.type == EntryType::File;
    }

    // The first file taken as listed is looked at too: where the file system's listing does
    // not give the device and inode a look gives (an overlay on several file systems, some
    // FUSE systems), every file of the walk is looked at instead.
    EntryIdentity listedIdentity(const FolderListing& listing, const FolderEntry& entry,
                                 std::uint64_t device, int& error) {
        if (listings_ == Listings::Trusted) {
            return EntryIdentity::listed(device, entry.inode, EntryType::File);
        }
        EntryIdentity looked;
        error = readIdentityIn(listing.folder, entry.name, looked);
        if (error != 0) return looked;
        const bool same = looked.device == device && looked.inode == entry.inode;
        listings_ = same ? Listings::Trusted : Listings::Distrusted;
        return same ? EntryIdentity::listed(device, entry.inode, EntryType::File) : looked;
    }

    bool looksAtEntries() const {
        return request_.conditions != nullptr && request_.conditions->needsIdentity();
    }

    void judge(const FolderListing& listing, std::size_t i) {
        const FolderEntry& entry = listing.entries[i];
        const Conditions* conditions = request_.conditions;
        PassedOver why = byKind(entry, request_);
        if (why == PassedOver::None && isExcluded(entry, request_)) why = PassedOver::Excluded;
        std::uint32_t piece = kNoPiece;
        if (why == PassedOver::None) {
            piece = firstPiece(entry, filters_);
            if (piece == kNoPiece) why = PassedOver::Extension;
        }
        if (why == PassedOver::None && conditions != nullptr) {
            why = conditions->byName(entry.name, entry.type);
        }
        if (why == PassedOver::None && looksAtEntries()) {
            judged_[i].looked = true;
            errors_[i] = readIdentityIn(listing.folder, entry.name, identities_[i]);
            // An entry that cannot be looked at is selected, so that its step says why.
            if (errors_[i] == 0) why = conditions->byIdentity(identities_[i], request_.nowNs);
        }
        if (why == PassedOver::None) {
            judged_[i].piece = piece;
        } else if (request_.passedOver) {
            request_.passedOver(joined(*path_, entry.name), why);
        }
    }

    const WalkRequest& request_;
    const FilterPieces& filters_;
    const std::string* path_ = nullptr;  // the folder at hand
    // Of the folder at hand, one for each of its entries; kept from folder to folder.
    std::vector<Judged> judged_;
    std::vector<EntryIdentity> identities_;
    std::vector<int> errors_;
    // Whether the listings of this walk's file system give what a look at a file gives.
    enum class Listings { Unproven, Trusted, Distrusted } listings_ = Listings::Unproven;
};

}  // namespace

std::string WalkResult::path(const SelectedEntry& entry) const {
    return joined(folders[entry.folder], entry.name);
}

void walkFolders(const WalkRequest& request, const FilterPieces& filters, WalkVisitor& visitor) {
    FolderSelector selector(request, filters);
    std::vector<SelectedEntry> selected;  // of the folder at hand, its room kept
    std::uint64_t device = 0;
    std::size_t index = 0;
    std::vector<PendingFolder> pending{{nullptr, {}, {}, request.sourceRoot, 0}};
    while (!pending.empty()) {
        if (request.stop != nullptr && request.stop->load()) break;
        PendingFolder current = std::move(pending.back());
        pending.pop_back();
        const FolderListing listing =
            current.parent == nullptr
                ? listFolder(current.path)
                : listFolderBelow(current.parent, current.name, current.id, request.identities);
        if (!listing.listed) visitor.unlisted({current.path, listing.error});
        if (current.parent == nullptr && listing.listed) device = listing.folder->device();
        const bool entersSubfolders = withinDepth(current.depth + 1, request.depthCode);
        selector.select(listing, current.path, index, device, entersSubfolders, selected);
        visitor.folder({current.path, index, selected, device});
        ++index;
        if (!entersSubfolders) continue;
        // Pushed in reverse so that the first subfolder is walked first.
        for (auto it = listing.entries.rbegin(); it != listing.entries.rend(); ++it) {
            if (isPlainFolder(*it, request)) {
                pending.push_back({listing.folder, it->name, it->id, current.path + it->name + "/",
                                   current.depth + 1});
            }
        }
    }
}

namespace {

class KeepAll final : public WalkVisitor {
  public:
    explicit KeepAll(WalkResult& result) : result_(result) {}
    void unlisted(const UnlistedFolder& folder) override { result_.unlisted.push_back(folder); }
    void folder(const WalkedFolder& folder) override {
        result_.folders.push_back(folder.path);
        result_.device = folder.device;
        result_.selection.insert(result_.selection.end(), folder.selected.begin(),
                                 folder.selected.end());
    }

  private:
    WalkResult& result_;
};

}  // namespace

WalkResult walkAndSelect(const WalkRequest& request, const FilterPieces& filters) {
    WalkResult result;
    KeepAll keep(result);
    walkFolders(request, filters, keep);
    return result;
}

}  // namespace kestrune
