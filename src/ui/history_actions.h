#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace kestrune {
class TreeHistory;
}

namespace kestrune::ui {

// The Edit menu's Undo and Redo items over the tree's history: captions that name the change
// ("Undo Delete "Downloads Cleanup""), Ctrl+Z and Ctrl+Shift+Z, enabled while there is one.
class HistoryActions : public QObject {
    Q_OBJECT

  public:
    HistoryActions(const TreeHistory& history, QObject* parent);

    QAction* undo() const { return undo_; }
    QAction* redo() const { return redo_; }
    void addTo(QMenu& menu) const;
    // After every change, undo or redo.
    void refresh();

  private:
    const TreeHistory& history_;
    QAction* undo_;
    QAction* redo_;
};

}  // namespace kestrune::ui
