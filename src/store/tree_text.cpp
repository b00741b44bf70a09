#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "store/errors.h"
#include "store/task_tree.h"

namespace kestrune {

namespace {

std::vector<std::string_view> splitLines(std::string_view content) {
    content = content.substr(0, content.find('\0'));
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back(content.substr(pos));
            break;
        }
        lines.push_back(content.substr(pos, end - pos));
        const bool crlf =
            content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n';
        pos = end + (crlf ? 2 : 1);
    }
    return lines;
}

std::unique_ptr<TreeNode> makeNode(std::string_view text) {
    auto node = std::make_unique<TreeNode>();
    node->text = std::string(text);
    return node;
}

TreeNode* appendTo(std::vector<std::unique_ptr<TreeNode>>& roots, TreeNode* parent,
                   std::string_view text) {
    auto node = makeNode(text);
    node->parent = parent;
    auto& list = parent != nullptr ? parent->children : roots;
    if (parent != nullptr) node->siblings = &parent->children;
    list.push_back(std::move(node));
    return list.back().get();
}

// The file has no escape: a text with a line break or a NUL would load back as other nodes,
// and leading TABs or SPACEs would read as indentation, possibly as a level error that stops
// the next start. Names are refused before they get here; this keeps any other text loadable.
std::string storableText(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of("\t "), text.size()));
    std::string stored(text);
    for (char& c : stored) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    return stored;
}

}  // namespace

std::vector<std::unique_ptr<TreeNode>> parseTreeText(std::string_view content) {
    std::vector<std::unique_ptr<TreeNode>> roots;
    TreeNode* previous = nullptr;
    int previousLevel = 0;
    for (const std::string_view line : splitLines(content)) {
        const std::size_t indent = std::min(line.find_first_not_of("\t "), line.size());
        const std::string_view text = line.substr(indent);
        if (previous == nullptr) {
            previous = appendTo(roots, nullptr, text);
            continue;
        }
        if (indent > static_cast<std::size_t>(previousLevel) + 1) {
            throw TreeFileError("Invalid level (" + std::to_string(indent) + ") for item \"" +
                                std::string(text) + "\"");
        }
        const int level = static_cast<int>(indent);
        TreeNode* parent = previous;
        for (int up = previousLevel; up >= level; --up) parent = parent->parent;
        previous = appendTo(roots, parent, text);
        previousLevel = level;
    }
    return roots;
}

std::string treeText(const std::vector<std::unique_ptr<TreeNode>>& roots) {
    std::string text;
    std::vector<std::pair<const TreeNode*, std::size_t>> pending;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) pending.emplace_back(it->get(), 0);
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        text.append(level, '\t');
        text += storableText(node->text);
        text += "\r\n";
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.emplace_back(it->get(), level + 1);
        }
    }
    return text;
}

}  // namespace kestrune
