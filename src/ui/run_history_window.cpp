#include "ui/run_history_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrune::ui {

RunHistoryWindow::RunHistoryWindow(const std::vector<HistoryEntry>& runs, ReportOpener open,
                                   QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)), open_(std::move(open)) {
    setObjectName(QStringLiteral("RunHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Run History"));
    resize(560, 360);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Started"), QStringLiteral("Task"),
                            QStringLiteral("State"), QStringLiteral("Done"),
                            QStringLiteral("Failed")});
    for (const HistoryEntry& run : runs) {
        const JournalContent& journal = run.journal;
        QString task = QString::fromStdString(journal.plan.task);
        if (!journal.undoes.empty()) task = QStringLiteral("Undo ") + task;
        QStringList columns{QString::fromStdString(journal.started), task,
                            QString::fromLatin1(runStateWord(run.state)),
                            QString::number(journal.figures.done),
                            QString::number(journal.figures.failed)};
        if (!run.problem.empty()) {
            columns = {QString::fromStdString(run.path), QString(),
                       QString::fromStdString(run.problem)};
        }
        auto* item = new QTreeWidgetItem(list_, columns);
        item->setData(0, Qt::UserRole, QString::fromStdString(run.path));
        item->setDisabled(!run.problem.empty());
    }
    list_->header()->resizeSection(0, 170);
    list_->header()->resizeSection(1, 170);
    connect(list_, &QTreeWidget::itemActivated, this, &RunHistoryWindow::openCurrent);

    auto* buttons = new QDialogButtonBox(this);
    auto* report = buttons->addButton(QStringLiteral("Open Report"), QDialogButtonBox::ActionRole);
    report->setObjectName(QStringLiteral("OpenReport"));
    buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    connect(report, &QPushButton::clicked, this, &RunHistoryWindow::openCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
}

void RunHistoryWindow::openCurrent() {
    QTreeWidgetItem* item = list_->currentItem();
    if (item == nullptr || item->isDisabled()) return;
    open_(item->data(0, Qt::UserRole).toString().toStdString());
}

}  // namespace kestrune::ui
