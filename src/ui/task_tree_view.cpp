#include "ui/task_tree_view.h"

#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "ui/task_tree_model.h"

namespace kestrune::ui {

TaskTreeView::TaskTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setIndentation(19);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);

    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    // The highlight marks the node the commands act on only while the tree has the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Inactive, QPalette::Base));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Inactive, QPalette::Text));
    setPalette(colours);
}

void TaskTreeView::setDropRules(DropTest accept, Drop drop) {
    accept_ = std::move(accept);
    drop_ = std::move(drop);
}

void TaskTreeView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit focusEntered();
}

// The context menu acts on the selection, so a right click leaves it where it is.
void TaskTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

// A group opens and closes as before; a task opens in the editor instead.
void TaskTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && at.isValid() && at.parent().isValid()) {
        event->accept();
        emit openRequested();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

// While a node's text is being edited, the Enter that ends the edit comes here too, after the
// editor has taken it (the rename is made a moment later): it must open nothing.
void TaskTreeView::keyPressEvent(QKeyEvent* event) {
    if (state() == QAbstractItemView::EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                emit openRequested();
                return;
            case Qt::Key_Delete:
                emit deleteRequested();
                return;
            default:
                break;
        }
    }
    QTreeView::keyPressEvent(event);
}

// Dragging a node makes it the selected node; the drop moves whatever is selected.
void TaskTreeView::startDrag(Qt::DropActions /*supportedActions*/) {
    const QModelIndex dragged = currentIndex();
    if (!dragged.isValid()) return;
    selectionModel()->select(dragged, QItemSelectionModel::ClearAndSelect);
    auto* drag = new QDrag(this);
    drag->setMimeData(model()->mimeData({dragged}));
    drag->exec(Qt::MoveAction);
}

bool TaskTreeView::dropAllowed(const QDropEvent& event) const {
    if (!accept_) return false;
    const bool fromTree = event.source() == this;
    return accept_(fromTree, indexAt(event.position().toPoint()));
}

void TaskTreeView::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void TaskTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (dropAllowed(*event)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TaskTreeView::dropEvent(QDropEvent* event) {
    if (!dropAllowed(*event) || !drop_) {
        event->ignore();
        return;
    }
    // The window has moved the node already: the drag's source must not remove anything.
    drop_(indexAt(event->position().toPoint()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TaskTreeView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    const QModelIndexList now = selectionModel()->selectedIndexes();
    if (!now.isEmpty()) expandSingle(now.first());
}

// Selecting a node opens it and closes the branch of the node selected before it, up to the
// first node that the two share.
void TaskTreeView::expandSingle(const QModelIndex& now) {
    QModelIndex before = lastSelected_;
    lastSelected_ = now;
    for (; before.isValid(); before = before.parent()) {
        bool shared = false;
        for (QModelIndex up = now; up.isValid(); up = up.parent()) shared = shared || up == before;
        if (shared) break;
        collapse(before);
    }
    expand(now);
}

}  // namespace kestrune::ui
