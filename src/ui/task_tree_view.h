#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>
#include <functional>

namespace kestrune::ui {

// The tree control: single-expand, a drag of the pressed node, drops judged and carried out
// by the window, no selection change on a right click, and no highlight while unfocused.
class TaskTreeView : public QTreeView {
    Q_OBJECT

  public:
    using DropTest = std::function<bool(bool dragStartedInTree, const QModelIndex& target)>;
    using Drop = std::function<void(const QModelIndex& target)>;

    explicit TaskTreeView(QWidget* parent = nullptr);
    void setDropRules(DropTest accept, Drop drop);

  signals:
    void focusEntered();
    // Enter, or a double click on a task node: open it in the editor.
    void openRequested();
    // The Delete key.
    void deleteRequested();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    bool dropAllowed(const QDropEvent& event) const;
    void expandSingle(const QModelIndex& now);

    DropTest accept_;
    Drop drop_;
    QPersistentModelIndex lastSelected_;
};

}  // namespace kestrune::ui
