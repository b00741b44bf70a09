#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <functional>
#include <string>

#include "store/task_tree.h"

namespace kestrune::ui {

// Shows the core's task tree to a Qt view. It holds no tree of its own: every index points
// at a TreeNode, and the tree tells the model of each change through TreeObserver.
// Edits typed into the view are handed to the rename handler, which decides whether and how
// the node is renamed; the model never changes the tree itself.
class TaskTreeModel : public QAbstractItemModel, public TreeObserver {
    Q_OBJECT

  public:
    using RenameHandler = std::function<void(TreeNode* node, const std::string& text)>;
    // How a node looks beside its text.
    struct NodeLook {
        bool greyed = false;   // a task that has no settings yet
        bool watches = false;  // runs when entries appear or change in its source
        bool atIntervals = false;
        QString tip;
    };
    using LookOf = std::function<NodeLook(const TreeNode& node)>;
    static constexpr const char* kNodeMimeType = "application/x-kestrune-tree-node";

    explicit TaskTreeModel(TaskTree& tree, QObject* parent = nullptr);
    ~TaskTreeModel() override;

    void setRenameHandler(RenameHandler handler) { renameHandler_ = std::move(handler); }
    void setLookOf(LookOf look) { lookOf_ = std::move(look); }
    // What lookOf says may have changed for any node: every node is drawn again.
    void looksChanged();
    // Stops following the tree; called before the tree goes away.
    void detach();

    TreeNode* nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const TreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;

    void beginInsert(TreeNode* parent, int row) override;
    void endInsert() override;
    void beginRemove(TreeNode* parent, int row) override;
    void endRemove() override;
    void beginMove(TreeNode* fromParent, int fromRow, TreeNode* toParent, int toRow) override;
    void endMove() override;
    void textChanged(TreeNode* node) override;
    void beginReset() override;
    void endReset() override;

  private:
    const std::vector<std::unique_ptr<TreeNode>>* childrenOf(const QModelIndex& parent) const;

    TaskTree* tree_;
    RenameHandler renameHandler_;
    LookOf lookOf_;
};

}  // namespace kestrune::ui
