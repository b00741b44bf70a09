#include "store/tree_changes.h"

#include "store/settings_file.h"
#include "store/task_tree.h"

namespace kestrune {

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Where a node stands, so that it can be put back there.
struct Place {
    TreeNode* parent = nullptr;
    int row = 0;
};

Place placeOf(const TreeNode* node) {
    return {node->parent, node->row()};
}

class DeleteChange : public TreeChange {
  public:
    DeleteChange(TaskTree& tree, SettingsFile& settings, TreeNode* node)
        : tree_(tree), settings_(settings), node_(node) {}

    // All the records in one replace of the file, so that a failure leaves the file and the
    // tree as they were; each record's erase is kept apart, to come back alone.
    void apply() override {
        std::vector<SettingsEdit> erases;
        for (const std::string& name : tree_.recordsOnlyIn(node_)) {
            erases.push_back(SettingsEdit().eraseSectionWithKeys(name));
        }
        erased_ = settings_.trackedEach(std::move(erases));
        place_ = placeOf(node_);
        held_ = tree_.detach(node_);
    }

    // A record whose place has changed since goes back at the end of the file: moved, but
    // never lost.
    void revert() override {
        settings_.restore(erased_);
        tree_.attach(std::move(held_), place_.parent, place_.row);
    }

    std::string describe() const override { return "Delete " + quoted(node_->text); }
    TreeNode* focus(bool applied) const override { return applied ? nullptr : node_; }

  private:
    TaskTree& tree_;
    SettingsFile& settings_;
    TreeNode* node_;
    Place place_;
    std::unique_ptr<TreeNode> held_;
    TrackedEdits erased_;
};

class AddChange : public TreeChange {
  public:
    AddChange(TaskTree& tree, const SettingsFile& settings, bool subtask)
        : tree_(tree), settings_(settings), subtask_(subtask) {}

    void apply() override {
        if (held_) {
            tree_.attach(std::move(held_), place_.parent, place_.row);
            return;
        }
        node_ = subtask_ ? tree_.AddSubtask(settings_) : tree_.AddTask(settings_);
        place_ = placeOf(node_);
    }

    void revert() override { held_ = tree_.detach(node_); }

    std::string describe() const override { return "Add " + quoted(node_->text); }
    // The new node is selected, so that what the user does next acts on it.
    TreeNode* focus(bool applied) const override { return applied ? node_ : place_.parent; }

  private:
    TaskTree& tree_;
    const SettingsFile& settings_;
    bool subtask_;
    TreeNode* node_ = nullptr;
    Place place_;
    std::unique_ptr<TreeNode> held_;
};

class DropChange : public TreeChange {
  public:
    DropChange(TaskTree& tree, TreeNode* target)
        : tree_(tree), node_(tree.selected()), target_(target) {}

    void apply() override {
        from_ = placeOf(node_);
        tree_.moveNode(node_, target_, 0);
    }

    void revert() override { tree_.moveNode(node_, from_.parent, from_.row); }

    std::string describe() const override { return "Move " + quoted(node_->text); }
    TreeNode* focus(bool applied) const override { return applied ? target_ : node_; }

  private:
    TaskTree& tree_;
    TreeNode* node_;
    TreeNode* target_;
    Place from_;
};

class RenameChange : public TreeChange {
  public:
    RenameChange(TaskTree& tree, SettingsFile& settings, TreeNode* node, std::string text)
        : tree_(tree), settings_(settings), node_(node), old_(node->text), new_(std::move(text)) {}

    void apply() override {
        carried_ = settings_.tracked([&] { tree_.renameInPlace(settings_, node_, new_); });
    }

    // The carried copy goes only if the file still holds it as written; the node's old
    // record was never touched.
    void revert() override {
        settings_.revert(carried_);
        tree_.rename(node_, old_);
    }

    std::string describe() const override { return "Rename " + quoted(old_); }
    TreeNode* focus(bool) const override { return node_; }

  private:
    TaskTree& tree_;
    SettingsFile& settings_;
    TreeNode* node_;
    std::string old_;
    std::string new_;
    SettingsPatch carried_;
};

}  // namespace

std::unique_ptr<TreeChange> deleteChange(TaskTree& tree, SettingsFile& settings, TreeNode* node) {
    return std::make_unique<DeleteChange>(tree, settings, node);
}

std::unique_ptr<TreeChange> addChange(TaskTree& tree, const SettingsFile& settings, bool subtask) {
    return std::make_unique<AddChange>(tree, settings, subtask);
}

std::unique_ptr<TreeChange> dropChange(TaskTree& tree, TreeNode* target) {
    return std::make_unique<DropChange>(tree, target);
}

std::unique_ptr<TreeChange> renameChange(TaskTree& tree, SettingsFile& settings, TreeNode* node,
                                         std::string text) {
    return std::make_unique<RenameChange>(tree, settings, node, std::move(text));
}

TreeNode* TreeHistory::perform(std::unique_ptr<TreeChange> change) {
    change->apply();
    changes_.resize(done_);
    changes_.push_back(std::move(change));
    ++done_;
    return changes_.back()->focus(true);
}

TreeNode* TreeHistory::undo() {
    if (!canUndo()) return nullptr;
    TreeChange& change = *changes_[done_ - 1];
    change.revert();
    --done_;
    return change.focus(false);
}

TreeNode* TreeHistory::redo() {
    if (!canRedo()) return nullptr;
    TreeChange& change = *changes_[done_];
    change.apply();
    ++done_;
    return change.focus(true);
}

std::string TreeHistory::undoText() const {
    return canUndo() ? changes_[done_ - 1]->describe() : std::string();
}

std::string TreeHistory::redoText() const {
    return canRedo() ? changes_[done_]->describe() : std::string();
}

}  // namespace kestrune
