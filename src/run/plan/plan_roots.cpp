#include "run/plan/plan_roots.h"

#include "platform/folder_listing.h"
#include "run/plan/path_rules.h"

namespace kestrune {

std::string rootKey(std::string_view path) {
    return withoutTrailingSlashes(path);
}

PlanRoot rootOf(const std::string& folder) {
    PlanRoot root;
    root.path = rootKey(folder);
    while (!realFolder(root.path.empty() ? "/" : root.path, root.real, root.id)) {
        if (root.path.empty()) return root;  // not even "/": nothing to reach
        root.path = rootKey(folderPart(root.path));
    }
    root.real = rootKey(root.real);
    return root;
}

std::optional<std::size_t> rootIndexOf(const std::vector<PlanRoot>& roots, std::string_view path) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const std::string& root = roots[i].path;
        if (isAtOrBelow(path, root) && (!best || root.size() > roots[*best].path.size())) best = i;
    }
    return best;
}

std::string outsideMessage(const std::string& path) {
    return path + " lies outside the run's folders";
}

}  // namespace kestrune
