#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/settings_patch.h"

namespace kestrune {

class SettingsFile;
class TaskTree;
struct TreeNode;

// One change of the task tree, with what it did to the task records, that can be taken back
// and made again. A change keeps the very nodes it moves, so that the changes after it on a
// history still find them. Errors of the settings file pass through; a change that failed
// has left the tree as it was.
class TreeChange {
  public:
    virtual ~TreeChange() = default;
    // Makes the change the first time and again after a revert.
    virtual void apply() = 0;
    virtual void revert() = 0;
    // Names the change for the Undo and Redo captions: Delete "Downloads Cleanup", with the
    // node's text as it is now (the editor may have renamed it since).
    virtual std::string describe() const = 0;
    // The node to select once the change is made (applied true) or taken back; null for none.
    virtual TreeNode* focus(bool applied) const = 0;
};

// The selected node's subtree and the records only it names.
std::unique_ptr<TreeChange> deleteChange(TaskTree& tree, SettingsFile& settings, TreeNode* node);
// A new task after the selected node (subtask false) or as its last child (subtask true).
std::unique_ptr<TreeChange> addChange(TaskTree& tree, const SettingsFile& settings, bool subtask);
// The selected (dragged) node dropped on target: its first child.
std::unique_ptr<TreeChange> dropChange(TaskTree& tree, TreeNode* target);
// A new text for the node; its record is carried to the new name.
std::unique_ptr<TreeChange> renameChange(TaskTree& tree, SettingsFile& settings, TreeNode* node,
                                         std::string text);

// The changes made, newest last, and those taken back, for undo and redo.
class TreeHistory {
  public:
    // Applies the change and keeps it; the changes taken back are forgotten.
    // Returns the node to select.
    TreeNode* perform(std::unique_ptr<TreeChange> change);
    // Each returns the node to select. A failed step stays where it was.
    TreeNode* undo();
    TreeNode* redo();

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < changes_.size(); }
    // The change an undo or a redo would act on, described; empty when none.
    std::string undoText() const;
    std::string redoText() const;

  private:
    std::vector<std::unique_ptr<TreeChange>> changes_;
    std::size_t done_ = 0;  // changes_[0, done_) are applied
};

}  // namespace kestrune
