#include "ui/history_actions.h"

#include <QAction>
#include <QMenu>

#include "store/tree_changes.h"

namespace kestrune::ui {

namespace {

QString caption(const char* verb, const std::string& change) {
    const QString word = QString::fromLatin1(verb);
    if (change.empty()) return word;
    // A task name's "&" is shown, not taken as a menu accelerator.
    return word + QLatin1Char(' ') +
           QString::fromStdString(change).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

HistoryActions::HistoryActions(const TreeHistory& history, QObject* parent)
    : QObject(parent), history_(history), undo_(new QAction(this)), redo_(new QAction(this)) {
    undo_->setObjectName(QStringLiteral("Undo1"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_->setObjectName(QStringLiteral("Redo1"));
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    refresh();
}

void HistoryActions::addTo(QMenu& menu) const {
    menu.addActions({undo_, redo_});
}

void HistoryActions::refresh() {
    undo_->setText(caption("&Undo", history_.undoText()));
    undo_->setEnabled(history_.canUndo());
    redo_->setText(caption("&Redo", history_.redoText()));
    redo_->setEnabled(history_.canRedo());
}

}  // namespace kestrune::ui
