#include "store/task_tree.h"

#include <algorithm>
#include <unordered_set>

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/profile_text.h"
#include "store/settings_file.h"

namespace kestrune {

namespace {

std::string cannotOpen(const std::string& path, const std::string& error) {
    return "Cannot open file \"" + path + "\". " + error;
}

}  // namespace

TaskTree::TaskTree() : io_(&systemFileIo()) {
    TreeNode* group = append(nullptr, "All Tasks");
    append(group, "Desktop Tidy");
}

TaskTree::~TaskTree() = default;

std::vector<std::unique_ptr<TreeNode>>& TaskTree::listOf(TreeNode* parent) {
    return parent != nullptr ? parent->children : roots_;
}

TreeNode* TaskTree::append(TreeNode* parent, std::string text) {
    auto& list = listOf(parent);
    auto node = std::make_unique<TreeNode>();
    node->text = std::move(text);
    node->parent = parent;
    node->siblings = &list;
    if (observer_ != nullptr) observer_->beginInsert(parent, static_cast<int>(list.size()));
    list.push_back(std::move(node));
    if (observer_ != nullptr) observer_->endInsert();
    return list.back().get();
}

std::string TaskTree::NewTaskName(const SettingsFile& settings) const {
    const auto nodes = allNodes();
    std::unordered_set<std::string> taken = settings.snapshot().sectionsWithKeys();
    for (const TreeNode* node : nodes) taken.insert(profileNameKey(node->text));
    for (std::size_t number = nodes.size();; ++number) {
        std::string name = "New Task " + std::to_string(number);
        if (!taken.contains(profileNameKey(name))) return name;
    }
}

TreeNode* TaskTree::AddTask(const SettingsFile& settings) {
    TreeNode* parent = selected_ != nullptr ? selected_->parent : nullptr;
    return append(parent, NewTaskName(settings));
}

TreeNode* TaskTree::AddSubtask(const SettingsFile& settings) {
    return append(selected_, NewTaskName(settings));
}

// A record goes only when no node outside the doomed subtree still bears its name: records
// are found by name, so erasing it would silently empty that other task too.
std::vector<std::string> TaskTree::recordsOnlyIn(TreeNode* subtree) const {
    const auto doomed = preOrder(subtree);
    const std::unordered_set<const TreeNode*> leaving(doomed.begin(), doomed.end());
    std::unordered_set<std::string> kept;
    for (const TreeNode* node : allNodes()) {
        if (!leaving.contains(node)) kept.insert(profileNameKey(node->text));
    }
    std::vector<std::string> names;
    for (const TreeNode* node : doomed) {
        if (kept.insert(profileNameKey(node->text)).second) names.push_back(node->text);
    }
    return names;
}

bool TaskTree::nameTakenByAnother(const TreeNode* node, std::string_view name) const {
    const std::string key = profileNameKey(name);
    if (key == profileNameKey(node->text)) return false;
    for (const TreeNode* other : allNodes()) {
        if (other != node && profileNameKey(other->text) == key) return true;
    }
    return false;
}

void TaskTree::DeleteSelected(SettingsFile& settings) {
    if (selected_ == nullptr) return;
    // In one edit, so that a failure part-way cannot leave the nodes with some records gone;
    // a bare header counts as no record and stays.
    SettingsEdit edit;
    for (const std::string& name : recordsOnlyIn(selected_)) edit.eraseSectionWithKeys(name);
    settings.apply(edit);
    detach(selected_);
}

std::unique_ptr<TreeNode> TaskTree::detach(TreeNode* node) {
    TreeNode* parent = node->parent;
    auto& list = listOf(parent);
    const int row = node->row();
    if (observer_ != nullptr) observer_->beginRemove(parent, row);
    for (TreeNode* inside : preOrder(node)) {
        if (inside == selected_) selected_ = nullptr;
    }
    std::unique_ptr<TreeNode> removed = std::move(list[static_cast<std::size_t>(row)]);
    list.erase(list.begin() + row);
    removed->parent = nullptr;
    removed->siblings = nullptr;
    if (observer_ != nullptr) observer_->endRemove();
    return removed;
}

void TaskTree::attach(std::unique_ptr<TreeNode> node, TreeNode* parent, int row) {
    auto& list = listOf(parent);
    row = std::clamp(row, 0, static_cast<int>(list.size()));
    if (observer_ != nullptr) observer_->beginInsert(parent, row);
    node->parent = parent;
    node->siblings = &list;
    list.insert(list.begin() + row, std::move(node));
    if (observer_ != nullptr) observer_->endInsert();
}

void TaskTree::moveNode(TreeNode* node, TreeNode* parent, int row) {
    TreeNode* fromParent = node->parent;
    const int fromRow = node->row();
    auto& to = listOf(parent);
    const int others = static_cast<int>(to.size()) - (fromParent == parent ? 1 : 0);
    row = std::clamp(row, 0, others);
    if (fromParent == parent && fromRow == row) return;
    // The view counts the destination row before the node leaves its place.
    const int viewRow = fromParent == parent && row > fromRow ? row + 1 : row;
    if (observer_ != nullptr) observer_->beginMove(fromParent, fromRow, parent, viewRow);
    auto& from = listOf(fromParent);
    std::unique_ptr<TreeNode> moving = std::move(from[static_cast<std::size_t>(fromRow)]);
    from.erase(from.begin() + fromRow);
    moving->parent = parent;
    moving->siblings = &to;
    to.insert(to.begin() + row, std::move(moving));
    if (observer_ != nullptr) observer_->endMove();
}

bool TaskTree::AcceptDrop(bool dragStartedInTree, const TreeNode* target) const {
    if (!dragStartedInTree || target == nullptr || selected_ == nullptr) return false;
    for (const TreeNode* node = target; node != nullptr; node = node->parent) {
        if (node == selected_) return false;
    }
    return true;
}

void TaskTree::DropOnNode(TreeNode* target) {
    if (!AcceptDrop(true, target)) return;
    moveNode(selected_, target, 0);
    selected_ = target;
}

int TaskTree::TaskCount() const {
    return static_cast<int>(allNodes().size() - roots_.size());
}

void TaskTree::adoptRoots(std::vector<std::unique_ptr<TreeNode>> roots) {
    if (observer_ != nullptr) observer_->beginReset();
    selected_ = nullptr;
    roots_ = std::move(roots);
    for (auto& root : roots_) root->siblings = &roots_;
    if (observer_ != nullptr) observer_->endReset();
}

void TaskTree::LoadTree(const std::string& path) {
    const FileContent content = io_->read(path);
    if (!content.ok()) throw TreeFileError(cannotOpen(path, content.error));
    adoptRoots(parseTreeText(content.bytes));
}

// Only a missing file leaves the tree as it is: a folder or an unreadable file in its place
// is the user's tree gone astray, and the default tree would hide that until the first save.
bool TaskTree::LoadTreeIfPresent(const std::string& path) {
    const FileContent content = io_->read(path);
    if (content.status == FileContent::Status::Missing) return false;
    if (!content.ok()) throw TreeFileError(cannotOpen(path, content.error));
    adoptRoots(parseTreeText(content.bytes));
    return true;
}

void TaskTree::SaveTree(const std::string& path) const {
    const std::string error = io_->replace(path, treeText(roots_));
    if (!error.empty()) throw TreeFileError("Cannot create file \"" + path + "\". " + error);
}

void TaskTree::rename(TreeNode* node, std::string text) {
    node->text = std::move(text);
    if (observer_ != nullptr) observer_->textChanged(node);
}

std::vector<TreeNode*> TaskTree::preOrder(TreeNode* node) {
    std::vector<TreeNode*> order;
    std::vector<TreeNode*> pending{node};
    while (!pending.empty()) {
        TreeNode* next = pending.back();
        pending.pop_back();
        order.push_back(next);
        for (auto it = next->children.rbegin(); it != next->children.rend(); ++it) {
            pending.push_back(it->get());
        }
    }
    return order;
}

std::vector<TreeNode*> TaskTree::allNodes() const {
    std::vector<TreeNode*> nodes;
    for (const auto& root : roots_) {
        const auto subtree = preOrder(root.get());
        nodes.insert(nodes.end(), subtree.begin(), subtree.end());
    }
    return nodes;
}

}  // namespace kestrune
