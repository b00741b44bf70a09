#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "run/plan/folder_walk.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

// The selected paths below the root, each without the root's folder part.
inline std::vector<std::string> selectedBelow(const WalkResult& walk, const std::string& root) {
    std::vector<std::string> paths;
    for (const auto& entry : walk.selection) paths.push_back(walk.path(entry).substr(root.size()));
    return paths;
}

inline std::vector<std::string> foldersBelow(const WalkResult& walk, const std::string& root) {
    std::vector<std::string> folders;
    for (const auto& folder : walk.folders) folders.push_back(folder.substr(root.size()));
    return folders;
}

}  // namespace kestrune::test
