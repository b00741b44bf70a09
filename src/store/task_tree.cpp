#include "store/task_tree.h"

#include <algorithm>
#include <unordered_set>

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/profile_text.h"
#include "store/settings_file.h"

namespace kestrune {

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
// In one edit, so that a failure part-way cannot leave the nodes with some records gone.
void TaskTree::eraseUnsharedRecords(SettingsFile& settings, TreeNode* doomed) const {
    const auto subtree = preOrder(doomed);
    const std::unordered_set<const TreeNode*> leaving(subtree.begin(), subtree.end());
    std::unordered_set<std::string> kept;
    for (const TreeNode* node : allNodes()) {
        if (!leaving.contains(node)) kept.insert(profileNameKey(node->text));
    }
    SettingsEdit edit;
    for (auto it = subtree.begin() + 1; it != subtree.end(); ++it) {
        if (!kept.contains(profileNameKey((*it)->text))) edit.eraseSection((*it)->text);
    }
    if (!kept.contains(profileNameKey(doomed->text))) edit.eraseSectionWithKeys(doomed->text);
    settings.apply(edit);
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
    TreeNode* doomed = selected_;
    eraseUnsharedRecords(settings, doomed);

    TreeNode* parent = doomed->parent;
    auto& list = listOf(parent);
    const int row = doomed->row();
    if (observer_ != nullptr) observer_->beginRemove(parent, row);
    selected_ = nullptr;
    std::unique_ptr<TreeNode> removed = std::move(list[static_cast<std::size_t>(row)]);
    list.erase(list.begin() + row);
    if (observer_ != nullptr) observer_->endRemove();
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
    TreeNode* moving = selected_;
    TreeNode* fromParent = moving->parent;
    const int fromRow = moving->row();
    if (fromParent != target || fromRow != 0) {
        if (observer_ != nullptr) observer_->beginMove(fromParent, fromRow, target, 0);
        auto& from = listOf(fromParent);
        std::unique_ptr<TreeNode> node = std::move(from[static_cast<std::size_t>(fromRow)]);
        from.erase(from.begin() + fromRow);
        node->parent = target;
        node->siblings = &target->children;
        target->children.insert(target->children.begin(), std::move(node));
        if (observer_ != nullptr) observer_->endMove();
    }
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
    if (!content.ok()) {
        throw TreeFileError("Cannot open file \"" + path + "\". " + content.error);
    }
    adoptRoots(parseTreeText(content.bytes));
}

bool TaskTree::LoadTreeIfPresent(const std::string& path) {
    if (!isRegularFile(path)) return false;
    LoadTree(path);
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
