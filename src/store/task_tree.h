#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class FileIo;
class SettingsFile;

// A node holds only its text. Root nodes are groups; every other node is a task whose
// text names its record (a section of the settings file).
struct TreeNode {
    std::string text;
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;
    // The list that holds the node: its parent's children, or the tree's roots.
    std::vector<std::unique_ptr<TreeNode>>* siblings = nullptr;

    // Frees the subtree without recursion, so that a tree file nested thousands of levels
    // deep cannot exhaust the stack.
    ~TreeNode();

    int level() const;  // number of ancestors
    int row() const;    // index among its siblings (or among the roots)
};

// Told of every structural change so that a view can follow the model.
// Each begin* is called before the change and the matching end* right after it.
// A null parent stands for the list of root nodes.
class TreeObserver {
  public:
    virtual ~TreeObserver() = default;
    virtual void beginInsert(TreeNode* parent, int row) = 0;
    virtual void endInsert() = 0;
    virtual void beginRemove(TreeNode* parent, int row) = 0;
    virtual void endRemove() = 0;
    virtual void beginMove(TreeNode* fromParent, int fromRow, TreeNode* toParent, int toRow) = 0;
    virtual void endMove() = 0;
    virtual void textChanged(TreeNode* node) = 0;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
};

// The user's task tree. Starts as the default tree: "All Tasks" with the child "Desktop Tidy".
// The operations act on the selected node, which may be none.
class TaskTree {
  public:
    TaskTree();
    ~TaskTree();
    TaskTree(const TaskTree&) = delete;
    TaskTree& operator=(const TaskTree&) = delete;

    void setObserver(TreeObserver* observer) { observer_ = observer; }
    // The disk that LoadTree and SaveTree use (tests put a failing one under the tree).
    void setFileIo(const FileIo& io) { io_ = &io; }

    const std::vector<std::unique_ptr<TreeNode>>& roots() const { return roots_; }
    TreeNode* selected() const { return selected_; }
    void select(TreeNode* node) { selected_ = node; }

    // A name of the form "New Task N" that no node bears and no record of the settings file
    // holds, so that a new node never starts with another task's settings.
    std::string NewTaskName(const SettingsFile& settings) const;
    // Return the new node, which is not selected.
    TreeNode* AddTask(const SettingsFile& settings);
    TreeNode* AddSubtask(const SettingsFile& settings);
    // Erases the records of the selected subtree that no remaining node still names, all in
    // one replace of the settings file, then removes the subtree. Throws SettingsWriteError;
    // the tree and the file are then unchanged.
    void DeleteSelected(SettingsFile& settings);
    // May the selected (dragged) node be dropped on target?
    bool AcceptDrop(bool dragStartedInTree, const TreeNode* target) const;
    // Moves the selected node to be the first child of target, and selects target.
    void DropOnNode(TreeNode* target);
    int TaskCount() const;

    // Replaces the tree by the file's content. Throws TreeFileError.
    void LoadTree(const std::string& path);
    // LoadTree unless nothing is there: then the tree stays as it is and the result is false.
    // Something there that cannot be read (a folder, a file without permission) throws.
    bool LoadTreeIfPresent(const std::string& path);
    // Replaces the file atomically by the tree. Throws TreeFileError.
    void SaveTree(const std::string& path) const;

    void rename(TreeNode* node, std::string text);
    // A rename in the tree control: refused (Error, with renameProblem's text) for a name that
    // cannot be a task name or that another node bears; else the node's record, when it has
    // one, goes along whole under the new name in one replace (the old record stays, as after
    // a rename in the task editor). Throws SettingsWriteError; the node keeps its name then.
    void renameInPlace(SettingsFile& settings, TreeNode* node, std::string text);
    // Why the node cannot take that name, or an empty string when it can.
    std::string renameProblem(const TreeNode* node, std::string_view name) const;
    // Takes the node with its subtree out of the tree; it keeps no parent and no siblings.
    std::unique_ptr<TreeNode> detach(TreeNode* node);
    // Puts a detached node back as the row-th child of parent (null: among the roots).
    void attach(std::unique_ptr<TreeNode> node, TreeNode* parent, int row);
    // Moves the node to be the row-th child of parent (counted without the node itself).
    void moveNode(TreeNode* node, TreeNode* parent, int row);
    // The records a delete of that subtree erases: those no node outside it still names.
    std::vector<std::string> recordsOnlyIn(TreeNode* subtree) const;
    // The node and its whole subtree in depth-first pre-order.
    static std::vector<TreeNode*> preOrder(TreeNode* node);
    // Every node of the tree in depth-first pre-order.
    std::vector<TreeNode*> allNodes() const;
    // Whether that name would move the node from its own record to one that another node
    // names (record names compare as the settings file compares section names).
    bool nameTakenByAnother(const TreeNode* node, std::string_view name) const;

  private:
    std::vector<std::unique_ptr<TreeNode>>& listOf(TreeNode* parent);
    TreeNode* append(TreeNode* parent, std::string text);
    void adoptRoots(std::vector<std::unique_ptr<TreeNode>> roots);

    std::vector<std::unique_ptr<TreeNode>> roots_;
    TreeNode* selected_ = nullptr;
    TreeObserver* observer_ = nullptr;
    const FileIo* io_;
};

// The tree file's text: one line per node in pre-order, a TAB per level, the text, CR LF.
std::string treeText(const std::vector<std::unique_ptr<TreeNode>>& roots);
// The nodes a tree file's content describes. Lines end at CR, LF or CR LF; a NUL ends the
// content; leading TABs and SPACEs give the level. Throws TreeFileError for a line more than
// one level below the line before it. The roots' siblings pointer is left null.
std::vector<std::unique_ptr<TreeNode>> parseTreeText(std::string_view content);

// Why a name cannot be a task name, or an empty string when it can.
std::string taskNameProblem(std::string_view name);

}  // namespace kestrune
