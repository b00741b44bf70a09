#include "run/plan/placement.h"

#include "run/plan/name_form.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// Gives up on a name source that keeps repeating itself rather than loop for ever.
constexpr std::uint32_t kMaxDraws = 1000;

}  // namespace

Placement::Placement(FileActions& files, NameSource& names, std::string targetFolder, bool flat,
                     bool revisits)
    : files_(files),
      names_(names),
      base_(withoutTrailingSlashes(targetFolder)),
      flat_(flat),
      revisits_(revisits) {}

std::string Placement::targetFolderFor(std::string_view relative) const {
    return joined(base_, flat_ ? std::string_view("/") : relative);
}

// Whether the entry goes to the current folder; checked without making the folder's path,
// since it is asked for every entry.
bool Placement::inFolder(const EntryToPlace& entry) const {
    const std::string_view rest = flat_ ? std::string_view("/") : entry.relative;
    const std::string_view folder(folder_);
    return folder.size() == base_.size() + rest.size() + entry.subfolder.size() &&
           folder.substr(base_.size(), rest.size()) == rest &&
           folder.substr(base_.size() + rest.size()) == entry.subfolder;
}

void Placement::planFolder(const std::string& folder) {
    const std::string parent = folderPart(folder);
    reserved_[parent].insert(folder.substr(parent.size()));
    planned_.insert(joined(folder, "/"));
}

void Placement::enter(std::string folder) {
    if (revisits_ && !folder_.empty()) {
        left_[folder_] = LeftFolder{std::move(claimed_), folderMissing_};
        claimed_ = NameSet();
    }
    folder_ = std::move(folder);
    if (const auto left = left_.find(folder_); left != left_.end()) {
        claimed_ = std::move(left->second.claimed);
        folderMissing_ = left->second.missing;
        left_.erase(left);
        return;
    }
    claimed_.clear();
    // A folder's reserved names go into its claimed names the first time it is entered.
    if (const auto held = reserved_.find(folder_); held != reserved_.end()) {
        for (const std::string& name : held->second) claimed_.insert(name);
        reserved_.erase(held);
    }
    folderMissing_ = planned_.contains(folder_) || !files_.exists(folder_);
}

// Claims the name while it looks: one hash a name. A name found taken on disk stays
// claimed, which changes nothing, as it is not free either.
bool Placement::taken(std::string_view name) {
    return !claimed_.insert(name) || (!folderMissing_ && files_.exists(joined(folder_, name)));
}

bool Placement::place(const EntryToPlace& entry, std::string& target, PlacedName& placed) {
    if (!inFolder(entry)) {
        enter(joined(targetFolderFor(entry.relative), entry.subfolder));
    }
    placed = {};
    if (!taken(entry.name)) {
        target.assign(folder_).append(entry.name);
        return true;
    }
    placed.seed = nameSeed(entry.device, entry.inode, folder_, entry.name);
    std::string chosen;
    do {
        if (placed.draws == kMaxDraws) return false;
        chosen = withRandomPart(names_.part(placed.seed, placed.draws++), entry.name);
    } while (taken(chosen));
    target.assign(folder_).append(chosen);
    return true;
}

}  // namespace kestrune
