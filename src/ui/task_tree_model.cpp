#include "ui/task_tree_model.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>

#include "ui/program_icons.h"

namespace kestrune::ui {

TaskTreeModel::TaskTreeModel(TaskTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(&tree) {
    tree_->setObserver(this);
}

TaskTreeModel::~TaskTreeModel() {
    detach();
}

void TaskTreeModel::detach() {
    if (tree_ == nullptr) return;
    beginResetModel();
    tree_->setObserver(nullptr);
    tree_ = nullptr;
    endResetModel();
}

TreeNode* TaskTreeModel::nodeAt(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return nullptr;
    return static_cast<TreeNode*>(index.internalPointer());
}

QModelIndex TaskTreeModel::indexOf(const TreeNode* node) const {
    if (node == nullptr) return {};
    return createIndex(node->row(), 0, const_cast<TreeNode*>(node));
}

const std::vector<std::unique_ptr<TreeNode>>* TaskTreeModel::childrenOf(
    const QModelIndex& parent) const {
    if (tree_ == nullptr) return nullptr;
    if (!parent.isValid()) return &tree_->roots();
    return &nodeAt(parent)->children;
}

QModelIndex TaskTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto* list = childrenOf(parent);
    if (list == nullptr || column != 0 || row < 0 || row >= static_cast<int>(list->size())) {
        return {};
    }
    return createIndex(row, 0, (*list)[static_cast<std::size_t>(row)].get());
}

QModelIndex TaskTreeModel::parent(const QModelIndex& child) const {
    const TreeNode* node = nodeAt(child);
    return node != nullptr ? indexOf(node->parent) : QModelIndex();
}

int TaskTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const auto* list = childrenOf(parent);
    return list != nullptr ? static_cast<int>(list->size()) : 0;
}

int TaskTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return 1;
}

QVariant TaskTreeModel::data(const QModelIndex& index, int role) const {
    const TreeNode* node = nodeAt(index);
    if (node == nullptr) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return QString::fromStdString(node->text);
    if (!lookOf_ ||
        (role != Qt::ForegroundRole && role != Qt::DecorationRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const NodeLook look = lookOf_(*node);
    switch (role) {
        case Qt::ForegroundRole:
            if (!look.greyed) return {};
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        case Qt::DecorationRole:
            if (look.watches) return taskMark(TaskMark::Watches);
            if (look.atIntervals) return taskMark(TaskMark::AtIntervals);
            // A task without a mark keeps the mark's room, so the names of a group line up.
            return node->parent != nullptr ? taskMark(TaskMark::None) : QVariant();
        default:
            return look.tip.isEmpty() ? QVariant() : QVariant(look.tip);
    }
}

void TaskTreeModel::looksChanged() {
    if (tree_ == nullptr) return;
    // Only the marks and colours change; a reset would lose the selection and expansions.
    std::vector<const TreeNode*> pending;
    for (const auto& root : tree_->roots()) pending.push_back(root.get());
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        if (node->children.empty()) continue;
        const QModelIndex parent = indexOf(node);
        emit dataChanged(index(0, 0, parent),
                         index(static_cast<int>(node->children.size()) - 1, 0, parent));
        for (const auto& child : node->children) pending.push_back(child.get());
    }
    if (!tree_->roots().empty()) {
        emit dataChanged(index(0, 0), index(static_cast<int>(tree_->roots().size()) - 1, 0));
    }
}

bool TaskTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    TreeNode* node = nodeAt(index);
    if (node == nullptr || role != Qt::EditRole || !renameHandler_) return false;
    // The handler renames through the tree, which reports the change back as textChanged.
    renameHandler_(node, value.toString().toStdString());
    return false;
}

Qt::ItemFlags TaskTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

QStringList TaskTreeModel::mimeTypes() const {
    return {QString::fromLatin1(kNodeMimeType)};
}

// A drag carries no node: the dragged node is always the tree's selected node.
QMimeData* TaskTreeModel::mimeData(const QModelIndexList& /*indexes*/) const {
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kNodeMimeType), {});
    return mime;
}

Qt::DropActions TaskTreeModel::supportedDropActions() const {
    return Qt::MoveAction;
}

void TaskTreeModel::beginInsert(TreeNode* parent, int row) {
    beginInsertRows(indexOf(parent), row, row);
}

void TaskTreeModel::endInsert() {
    endInsertRows();
}

void TaskTreeModel::beginRemove(TreeNode* parent, int row) {
    beginRemoveRows(indexOf(parent), row, row);
}

void TaskTreeModel::endRemove() {
    endRemoveRows();
}

void TaskTreeModel::beginMove(TreeNode* fromParent, int fromRow, TreeNode* toParent, int toRow) {
    beginMoveRows(indexOf(fromParent), fromRow, fromRow, indexOf(toParent), toRow);
}

void TaskTreeModel::endMove() {
    endMoveRows();
}

void TaskTreeModel::textChanged(TreeNode* node) {
    const QModelIndex changed = indexOf(node);
    emit dataChanged(changed, changed);
}

void TaskTreeModel::beginReset() {
    beginResetModel();
}

void TaskTreeModel::endReset() {
    endResetModel();
}

}  // namespace kestrune::ui
