// The main window's runs: every run, preview and undo goes to the one worker thread, and
// each reports when it ends.
#include <QAction>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "run/history/journal_reader.h"
#include "run/history/run_history.h"
#include "store/task_record.h"
#include "ui/Unit1.h"
#include "ui/auto_runs.h"
#include "ui/run_history_window.h"
#include "ui/run_progress.h"
#include "ui/run_report.h"
#include "ui/run_worker.h"
#include "ui/shown_text.h"

using kestrune::TreeNode;
using kestrune::ui::RunJob;
using kestrune::ui::RunOutcome;

namespace {

// A run that ends sooner shows no progress at all.
constexpr int kProgressDelayMs = 500;
// The tray's tip is cut to what the notification area shows on one line.
constexpr int kTipLength = 60;

const char* doneWord(kestrune::Action action) {
    switch (action) {
        case kestrune::Action::Move:
            return "moved";
        case kestrune::Action::Copy:
            return "copied";
        case kestrune::Action::Delete:
            return "deleted";
        case kestrune::Action::Trash:
            return "trashed";
        default:
            return "done";
    }
}

struct Result {
    std::string task;
    bool undo = false;
    kestrune::Action action = kestrune::Action::None;
    std::size_t succeeded = 0;
    std::size_t failed = 0;
    bool stopped = false;
    bool notRun = false;
};

QString resultLine(const Result& result) {
    const QString task = QString::fromStdString(result.task);
    const QString name = result.undo ? QStringLiteral("Undo %1").arg(task) : task;
    if (result.notRun) return QStringLiteral("%1: not run").arg(name);
    QString line = QStringLiteral("%1: %2 %3, %4 failed")
                       .arg(name)
                       .arg(result.succeeded)
                       .arg(QString::fromLatin1(result.undo ? "undone" : doneWord(result.action)))
                       .arg(result.failed);
    if (result.stopped) line += QStringLiteral(", stopped");
    return line;
}

QString resultLine(const RunOutcome& outcome) {
    const kestrune::RunTotals& totals = outcome.run.totals;
    return resultLine({outcome.job.task, outcome.job.kind == RunJob::Kind::Undo, outcome.action,
                       totals.succeeded, totals.failed, totals.stopped, !outcome.error.empty()});
}

// The same line for a run of an earlier session, from its journal.
QString resultLine(const kestrune::JournalContent& run) {
    return resultLine({run.plan.task, !run.undoes.empty(),
                       static_cast<kestrune::Action>(run.plan.record.action), run.done, run.failed,
                       run.ownState() == kestrune::RunState::Interrupted, false});
}

QString elided(const QString& text, int length) {
    return text.size() <= length ? text : text.left(length - 1) + QChar(0x2026);
}

}  // namespace

bool TForm1::runGoing() const {
    return runs_ != nullptr && runs_->busy();
}

std::size_t TForm1::historySize() const {
    const std::int32_t size =
        settings_->readInteger(kestrune::keys::kSettingsSection, kestrune::keys::kHistorySize,
                               static_cast<std::int32_t>(kestrune::kDefaultHistorySize));
    return size > 0 ? static_cast<std::size_t>(size) : kestrune::kDefaultHistorySize;
}

void TForm1::queueRun(RunJob job) {
    const bool wasIdle = !runGoing();
    runs_->submit(std::move(job), historySize());
    if (wasIdle) setRunning(true);
}

// The record is read here, on the window's thread, where the settings file lives; the walk
// and the run happen on the worker.
void TForm1::runTasks(const std::vector<TreeNode*>& nodes, bool skipWithoutRecord, bool automatic) {
    for (const TreeNode* node : nodes) {
        RunJob job;
        job.task = node->text;
        job.record = kestrune::readTaskRecord(*settings_, node->text);
        job.automatic = automatic;
        if (skipWithoutRecord && !job.record) continue;
        queueRun(std::move(job));
    }
}

void TForm1::runNode(TreeNode* node) {
    const auto nodes = tree_.allNodes();
    if (runGoing() || std::find(nodes.begin(), nodes.end(), node) == nodes.end()) return;
    guarded([this, node] {
        if (!offeredEditorInsteadOfRun(node)) runTasks({node}, false);
    });
}

void TForm1::runAutomatically(const std::string& task) {
    guarded([this, &task] {
        RunJob job;
        job.task = task;
        job.record = kestrune::readTaskRecord(*settings_, task);
        job.automatic = true;
        queueRun(std::move(job));
    });
}

// The toolbar's buttons still run their command unasked for by the menus; while a run goes
// they are off with the menu items, so that no second run is started by a click.
void TForm1::RunSelected() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node != nullptr && !runGoing() && !offeredEditorInsteadOfRun(node)) {
            runTasks({node}, false);
        }
    });
}

void TForm1::RunWithSubtasks() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node != nullptr && !runGoing()) runTasks(kestrune::TaskTree::preOrder(node), true);
    });
}

void TForm1::RunSubtasksOnly() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node == nullptr || runGoing()) return;
        std::vector<TreeNode*> subtasks = kestrune::TaskTree::preOrder(node);
        subtasks.erase(subtasks.begin());
        runTasks(subtasks, true);
    });
}

void TForm1::PreviewSelected() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node == nullptr || runGoing() || offeredEditorInsteadOfRun(node)) return;
        RunJob job;
        job.kind = RunJob::Kind::Preview;
        job.task = node->text;
        job.record = kestrune::readTaskRecord(*settings_, node->text);
        queueRun(std::move(job));
    });
}

void TForm1::UndoLastRun() {
    if (!runGoing()) undoRun({});
}

void TForm1::undoRun(const std::string& runId) {
    RunJob job;
    job.kind = RunJob::Kind::Undo;
    job.undoId = runId;
    queueRun(std::move(job));
}

void TForm1::showLastRunInTip() {
    if (!tray_) return;
    try {
        const std::vector<kestrune::HistoryEntry> runs = kestrune::readHistory(stateFolder());
        if (runs.empty() || !runs.front().problem.empty()) return;
        lastResult_ = resultLine(runs.front().journal);
        lastJournal_ = runs.front().path;
    } catch (const std::exception&) {
        return;  // a history that cannot be read is told when the user asks for it
    }
    showResultInTip();
}

void TForm1::showResultInTip() {
    tray_->setTip(elided(windowTitle() + QStringLiteral(" \u2014 ") + lastResult_, kTipLength));
}

void TForm1::setRunning(bool running) {
    for (const char* name : {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton6"}) {
        findChild<QAction*>(QString::fromLatin1(name))->setEnabled(!running);
    }
    EnableTaskCommands(contextItems_);
    EnableTaskCommands(taskMenuItems_);
    if (!running) {
        progress_->stop();
        return;
    }
    QTimer::singleShot(kProgressDelayMs, this, [this] {
        if (runGoing() && progress_->isHidden()) progress_->start();
    });
}

void TForm1::runFinished(const RunOutcome& outcome) {
    if (!runGoing()) setRunning(false);
    if (outcome.dropped) {
        // Cancel asked for it: nothing to tell.
    } else if (outcome.job.kind == RunJob::Kind::Preview) {
        showPreview(outcome);
    } else {
        reportRun(outcome);
    }
    // The tasks of one command that could not run are told in one box, not one box each.
    if (!runGoing() && !unrun_.isEmpty()) {
        const QString message = unrun_.join(QLatin1Char('\n'));
        unrun_.clear();
        reportError_(message);
    }
    if (outcome.job.automatic) tellAutomaticRunEnded(outcome);
    emit runEnded();
}

// The scheduler waits for the end of each run it started; a problem it is told is shown once.
void TForm1::tellAutomaticRunEnded(const RunOutcome& outcome) {
    QString problem = QString::fromStdString(outcome.error);
    if (problem.isEmpty() && outcome.run.totals.failed > 0) {
        problem = QStringLiteral("%1 entries failed").arg(outcome.run.totals.failed);
    }
    autoRuns_->runEnded(QString::fromStdString(outcome.job.task), {}, problem);
}

// A run that could not start says why: in a box for a click (once the command's runs ended), in the
// notification for a run nobody is watching. Entries that failed open the report at once.
void TForm1::reportRun(const RunOutcome& outcome) {
    lastResult_ = resultLine(outcome);
    if (!outcome.run.journalPath.empty()) lastJournal_ = outcome.run.journalPath;
    if (tray_) {
        showResultInTip();
        tray_->notify(windowTitle(), lastResult_);
    }
    if (!outcome.error.empty()) {
        if (!outcome.job.automatic) unrun_ << QString::fromStdString(outcome.error);
        return;
    }
    const bool undo = outcome.job.kind == RunJob::Kind::Undo;
    if (undo || outcome.run.totals.failed > 0) showReport(outcome.run.journalPath);
}

void TForm1::showPreview(const RunOutcome& outcome) {
    if (!outcome.error.empty()) {
        reportError_(QString::fromStdString(outcome.error));
        return;
    }
    const kestrune::RunPlan& plan = *outcome.plan;
    const std::vector<kestrune::ui::ReportRow> rows = kestrune::ui::reportRows(plan);
    const auto failed = static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.failed; }));
    auto* preview = new kestrune::ui::RunReport(
        kestrune::ui::RunReport::Mode::Preview,
        QStringLiteral("Preview \u2014 %1").arg(QString::fromStdString(plan.task)),
        QStringLiteral("%1 entries planned, %2 cannot be done. Nothing has been touched yet.")
            .arg(rows.size() - failed)
            .arg(failed),
        rows, this);
    preview->setTaskFolders(plan.record);
    keepSize(*preview, kestrune::ui::WindowSizes::Window::Preview);
    preview->setFolderOpener(
        [this](const QString& folder) { openLink(QUrl::fromLocalFile(folder)); });
    std::shared_ptr<const kestrune::RunPlan> shown = outcome.plan;
    // Queued behind a run under way; whether the plan still holds is asked when it starts.
    preview->setAction([this, shown] {
        RunJob job;
        job.kind = RunJob::Kind::Plan;
        job.task = shown->task;
        job.plan = shown;
        queueRun(std::move(job));
    });
    preview->show();
}

kestrune::ui::RunReport* TForm1::showReport(const std::string& journalPath) {
    kestrune::JournalContent journal;
    try {
        journal = kestrune::readJournal(journalPath);
    } catch (const std::exception& error) {
        reportError_(QString::fromStdString(error.what()));
        return nullptr;
    }
    const QString task = QString::fromStdString(journal.plan.task);
    auto* report = new kestrune::ui::RunReport(
        kestrune::ui::RunReport::Mode::Report,
        QStringLiteral("Run Report \u2014 %1%2")
            .arg(journal.undoes.empty() ? QString() : QStringLiteral("Undo "), task),
        QStringLiteral("Started %1: %2 done, %3 failed; %4.")
            .arg(kestrune::ui::localTime(journal.started))
            .arg(journal.done)
            .arg(journal.failed)
            .arg(QString::fromLatin1(kestrune::runStateWord(journal.ownState()))),
        kestrune::ui::reportRows(journal), this);
    report->setTaskFolders(journal.plan.record);
    keepSize(*report, kestrune::ui::WindowSizes::Window::Report);
    report->setFolderOpener(
        [this](const QString& folder) { openLink(QUrl::fromLocalFile(folder)); });
    report->setAction([this, id = journal.id] { undoRun(id); });
    report->show();
    return report;
}

void TForm1::ShowRunReport() {
    guarded([this] {
        std::string path = lastJournal_;
        if (path.empty()) {
            const std::vector<kestrune::HistoryEntry> runs = kestrune::readHistory(stateFolder());
            if (!runs.empty()) path = runs.front().path;
        }
        if (path.empty()) {
            reportError_(QStringLiteral("No run has been recorded yet."));
            return;
        }
        showReport(path);
    });
}

void TForm1::ShowRunHistory() {
    guarded([this] {
        auto* history = new kestrune::ui::RunHistoryWindow(
            kestrune::readHistory(stateFolder()),
            [this](const std::string& path) { showReport(path); }, this);
        keepSize(*history, kestrune::ui::WindowSizes::Window::History);
        history->show();
    });
}
