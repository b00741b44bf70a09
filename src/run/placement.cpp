#include "run/placement.h"

#include "run/path_rules.h"

namespace kestrune {

namespace {

// Gives up on a name source that keeps repeating itself rather than loop for ever.
constexpr int kMaxDraws = 1000;

}  // namespace

Placement::Placement(FileActions& files, NameSource& names, std::string targetFolder, bool flat)
    : files_(files), names_(names), base_(withoutTrailingSlashes(targetFolder)), flat_(flat) {}

std::string Placement::targetFolderFor(const std::string& relative) const {
    return base_ + (flat_ ? std::string("/") : relative);
}

void Placement::enter(const std::string& folder) {
    folder_ = folder;
    claimed_.clear();
    folderMissing_ = targetNew_ || !files_.exists(folder);
}

bool Placement::taken(const std::string& name) {
    return claimed_.count(name) != 0 || (!folderMissing_ && files_.exists(folder_ + name));
}

// Flat placement keeps the name readable with a "_" after the random part.
std::string Placement::candidate(const std::string& name, const std::string& part) const {
    if (part.empty()) return name;
    return part + (flat_ ? "_" : "") + name;
}

std::optional<std::string> Placement::place(const std::string& relative, const std::string& name) {
    if (const std::string folder = targetFolderFor(relative); folder != folder_) enter(folder);
    std::string chosen = name;
    for (int draw = 0; taken(chosen); ++draw) {
        if (draw == kMaxDraws) return std::nullopt;
        chosen = candidate(name, names_.next());
    }
    claimed_.insert(chosen);
    return folder_ + chosen;
}

}  // namespace kestrune
