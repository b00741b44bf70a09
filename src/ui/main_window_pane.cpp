// The main window's task pane and the tree's marks: what each task does, how it last ran and
// when it runs by itself, from the settings file, the run history and the automatic runs.
#include <QAction>
#include <QDateTime>

#include "run/history/run_history.h"
#include "store/task_record.h"
#include "ui/Unit1.h"
#include "ui/auto_runs.h"
#include "ui/task_pane.h"

using kestrune::TreeNode;

// The records are read once for every node the tree draws, again after each change.
void TForm1::readRecords() {
    records_ = settings_->snapshot();
    model_->looksChanged();
    showSelectedTask();
}

void TForm1::takeLastRuns(std::vector<kestrune::HistoryEntry> runs) {
    lastRuns_ = kestrune::ui::lastRunOfEachTask(std::move(runs));
    showSelectedTask();
}

// A hundred long runs take a moment to read: the window keeps answering meanwhile. Only the
// newest reading asked for is shown. The reader ends before the window goes (~TForm1).
void TForm1::readRunHistory() {
    const quint64 asked = ++historyReads_;
    historyReader_.start([this, asked, folder = stateFolder()] {
        std::vector<kestrune::HistoryEntry> runs;
        try {
            runs = kestrune::readHistory(folder);
        } catch (const std::exception&) {
            return;  // a history that cannot be read is told when the user asks for it
        }
        QMetaObject::invokeMethod(
            this,
            [this, asked, runs = std::move(runs)]() mutable {
                if (asked == historyReads_) takeLastRuns(std::move(runs));
            },
            Qt::QueuedConnection);
    });
}

void TForm1::showSelectedTask() {
    TreeNode* node = selectedNode();
    if (node == nullptr || !records_) {
        pane_->showNothing();
        return;
    }
    const QString name = QString::fromStdString(node->text);
    const std::optional<kestrune::TaskRecord> record =
        kestrune::readTaskRecord(*records_, node->text);
    if (!record && node->parent == nullptr) {
        pane_->showGroup(name, static_cast<int>(kestrune::TaskTree::preOrder(node).size()) - 1);
        return;
    }
    const auto last = lastRuns_.find(node->text);
    const QString byItself = record
                                 ? kestrune::ui::byItselfText(*record, !automaticRuns_->isChecked(),
                                                              autoRuns_->nextIntervalRun(name),
                                                              QDateTime::currentDateTime())
                                 : QString();
    pane_->showTask(name, record, last != lastRuns_.end() ? &last->second : nullptr, byItself);
}

kestrune::ui::TaskTreeModel::NodeLook TForm1::nodeLook(const TreeNode& node) const {
    kestrune::ui::TaskTreeModel::NodeLook look;
    if (!records_) return look;
    if (!records_->sectionExists(node.text)) {
        look.greyed = node.parent != nullptr;
        if (look.greyed) look.tip = QStringLiteral("No settings yet");
        return look;
    }
    kestrune::TaskRecord rules;
    rules.watch = records_->readBool(node.text, kestrune::keys::kWatch, false);
    rules.everyMinutes = records_->readInteger(node.text, kestrune::keys::kEvery, 0);
    look.watches = rules.watch;
    look.atIntervals = rules.everyMinutes > 0;
    if (look.watches || look.atIntervals)
        look.tip = kestrune::ui::byItselfText(rules, false, {}, {});
    return look;
}
