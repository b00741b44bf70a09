#include "store/task_tree.h"

#include <algorithm>

namespace kestrune {

TreeNode::~TreeNode() {
    std::vector<std::unique_ptr<TreeNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<TreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children) pending.push_back(std::move(child));
        node->children.clear();
    }
}

int TreeNode::level() const {
    int level = 0;
    for (const TreeNode* up = parent; up != nullptr; up = up->parent) ++level;
    return level;
}

int TreeNode::row() const {
    if (siblings == nullptr) return 0;
    const auto it = std::find_if(siblings->begin(), siblings->end(),
                                 [this](const auto& sibling) { return sibling.get() == this; });
    return static_cast<int>(it - siblings->begin());
}

}  // namespace kestrune
