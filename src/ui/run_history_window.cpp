#include "ui/run_history_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/shown_text.h"
#include "ui/table_cells.h"

namespace kestrune::ui {

namespace {

enum Column {
    StartedColumn,
    TaskColumn,
    StateColumn,
    DoneColumn,
    FailedColumn,
    LeftAloneColumn,
    MergedColumn
};

constexpr QSize kFirstSize(560, 360);

// Each cell shows its text escaped and keeps it whole for a copy.
QTreeWidgetItem* addRow(QTreeWidget* list, const QStringList& cells) {
    auto* item = new QTreeWidgetItem(list);
    for (int column = 0; column < cells.size(); ++column) {
        item->setText(column, escapedControls(cells[column]));
        item->setData(column, kFullTextRole, cells[column]);
        item->setToolTip(column, escapedControls(cells[column]));
    }
    return item;
}

}  // namespace

RunHistoryWindow::RunHistoryWindow(const std::vector<HistoryEntry>& runs, ReportOpener open,
                                   QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)), open_(std::move(open)) {
    setObjectName(QStringLiteral("RunHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Run History"));
    resize(kFirstSize);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({QStringLiteral("Started"), QStringLiteral("Task"),
                            QStringLiteral("State"), QStringLiteral("Done"),
                            QStringLiteral("Failed"), QStringLiteral("Left Alone"),
                            QStringLiteral("Merged")});
    for (const HistoryEntry& run : runs) {
        const JournalContent& journal = run.journal;
        QString task = QString::fromStdString(journal.plan.task);
        if (!journal.undoes.empty()) task = QStringLiteral("Undo ") + task;
        QStringList cells{localTime(journal.started),
                          task,
                          QString::fromLatin1(runStateWord(run.state)),
                          QString::number(journal.figures.done),
                          QString::number(journal.figures.failed),
                          QString::number(journal.figures.leftAlone),
                          QString::number(journal.figures.merged)};
        // A journal that cannot be read keeps the columns to their widths: its file and the
        // reason stand in the stretching Task column.
        if (!run.problem.empty()) {
            cells = {QString(),
                     QStringLiteral("%1: %2").arg(QString::fromStdString(run.path),
                                                  QString::fromStdString(run.problem)),
                     QStringLiteral("unreadable")};
        }
        QTreeWidgetItem* item = addRow(list_, cells);
        for (const Column number : {DoneColumn, FailedColumn, LeftAloneColumn, MergedColumn}) {
            item->setTextAlignment(number, Qt::AlignRight | Qt::AlignVCenter);
        }
        item->setData(StartedColumn, Qt::UserRole, QString::fromStdString(run.path));
        item->setDisabled(!run.problem.empty());
    }
    list_->setItemDelegate(new CellDelegate({}, list_));
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    for (const Column column :
         {StartedColumn, StateColumn, DoneColumn, FailedColumn, LeftAloneColumn, MergedColumn}) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    header->setSectionResizeMode(TaskColumn, QHeaderView::Stretch);
    addRowCopy(*list_);
    connect(list_, &QTreeWidget::itemActivated, this, &RunHistoryWindow::openCurrent);

    auto* buttons = new QDialogButtonBox(this);
    auto* report = buttons->addButton(QStringLiteral("&Open Report"), QDialogButtonBox::ActionRole);
    report->setObjectName(QStringLiteral("OpenReport"));
    buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    connect(report, &QPushButton::clicked, this, &RunHistoryWindow::openCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
}

void RunHistoryWindow::openCurrent() {
    QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr || item->isDisabled()) return;
    open_(item->data(StartedColumn, Qt::UserRole).toString().toStdString());
}

}  // namespace kestrune::ui
