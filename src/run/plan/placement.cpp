#include "run/plan/placement.h"

#include <string_view>

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// Gives up on a name source that keeps repeating itself rather than loop for ever.
constexpr int kMaxDraws = 1000;

}  // namespace

Placement::Placement(FileActions& files, NameSource& names, std::string targetFolder, bool flat)
    : files_(files), names_(names), base_(withoutTrailingSlashes(targetFolder)), flat_(flat) {}

std::string Placement::targetFolderFor(const std::string& relative) const {
    return joined(base_, flat_ ? std::string_view("/") : std::string_view(relative));
}

// Whether the entries of that relative folder go to the current folder; checked without
// making the folder's path, since it is asked for every entry.
bool Placement::inFolder(const std::string& relative) const {
    const std::string_view rest = flat_ ? std::string_view("/") : std::string_view(relative);
    return folder_.size() == base_.size() + rest.size() &&
           std::string_view(folder_).substr(base_.size()) == rest;
}

void Placement::planFolder(const std::string& folder) {
    const std::string parent = folderPart(folder);
    reserved_[parent].insert(folder.substr(parent.size()));
    planned_.insert(joined(folder, "/"));
}

void Placement::enter(const std::string& folder) {
    folder_ = folder;
    claimed_.clear();
    // No entry comes back to a folder once left, so its reserved names are needed no more.
    if (const auto held = reserved_.find(folder); held != reserved_.end()) {
        for (const std::string& name : held->second) claimed_.insert(name);
        reserved_.erase(held);
    }
    folderMissing_ = planned_.contains(folder) || !files_.exists(folder);
}

// Claims the name while it looks: one hash a name. A name found taken on disk stays
// claimed, which changes nothing, as it is not free either.
bool Placement::taken(const std::string& name) {
    return !claimed_.insert(name) || (!folderMissing_ && files_.exists(folder_ + name));
}

// Flat placement keeps the name readable with a "_" after the random part.
std::string Placement::candidate(const std::string& name, const std::string& part) const {
    if (part.empty()) return name;
    return part + (flat_ ? "_" : "") + name;
}

bool Placement::place(const std::string& relative, const std::string& name, std::string& target) {
    if (!inFolder(relative)) enter(targetFolderFor(relative));
    std::string chosen = name;
    for (int draw = 0; taken(chosen); ++draw) {
        if (draw == kMaxDraws) return false;
        chosen = candidate(name, names_.next());
    }
    target.assign(folder_).append(chosen);
    return true;
}

}  // namespace kestrune

namespace kestrune {

bool hasRandomPart(std::string_view name, std::string_view plain) {
    constexpr std::size_t kPart = 12;
    if (name.size() < kPart + plain.size() || name.substr(name.size() - plain.size()) != plain) {
        return false;
    }
    const std::string_view rest = name.substr(0, name.size() - plain.size());
    const std::string_view part =
        rest.size() == kPart + 1 && rest.back() == '_' ? rest.substr(0, kPart) : rest;
    if (part.size() != kPart) return false;
    for (const char c : part) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) return false;
    }
    return true;
}

}  // namespace kestrune
