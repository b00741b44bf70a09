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

bool Placement::taken(const std::string& path) {
    return claimed_.count(path) != 0 || files_.exists(path);
}

// Flat placement keeps the name readable with a "_" after the random part.
std::string Placement::candidate(const std::string& folder, const std::string& name,
                                 const std::string& part) const {
    if (part.empty()) return folder + name;
    return folder + part + (flat_ ? "_" : "") + name;
}

std::optional<std::string> Placement::place(const std::string& relative, const std::string& name) {
    const std::string folder = targetFolderFor(relative);
    std::string path = candidate(folder, name, {});
    for (int draw = 0; taken(path); ++draw) {
        if (draw == kMaxDraws) return std::nullopt;
        path = candidate(folder, name, names_.next());
    }
    claimed_.insert(path);
    return path;
}

}  // namespace kestrune
