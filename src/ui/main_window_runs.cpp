// The main window's runs: every run, preview and undo goes to the one worker thread, and
// each reports when it ends.
#include <QAction>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "run/history/journal_reader.h"
#include "run/history/run_history.h"
#include "run/service/run_summary.h"
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

QString resultLine(const RunOutcome& outcome) {
    return QString::fromStdString(kestrune::summaryText(outcome.summary));
}

// The same line for a run of an earlier session, from its journal.
QString resultLine(const kestrune::JournalContent& run) {
    return QString::fromStdString(kestrune::summaryText(kestrune::summaryOf(run)));
}

// What the automatic runs are to hear of a run they asked for: why it failed, or that some
// entries did.
QString problemOf(const kestrune::RunSummary& summary) {
    if (!summary.error.empty()) return QString::fromStdString(summary.error);
    if (summary.figures.failed == 0) return {};
    return QStringLiteral("Task \"%1\": %2 failed")
        .arg(QString::fromStdString(summary.task))
        .arg(summary.figures.failed == 1
                 ? QStringLiteral("1 entry")
                 : QStringLiteral("%1 entries").arg(summary.figures.failed));
}

QString elided(const QString& text, int length) {
    return text.size() <= length ? text : text.left(length - 1) + QChar(0x2026);
}

}  // namespace

bool TForm1::runGoing() const {
    return runs_ != nullptr && runs_->busy();
}

void TForm1::queueRun(RunJob job) {
    const bool wasIdle = !runGoing();
    runs_->submit(std::move(job));
    if (wasIdle) setRunning(true);
}

// Each run reads its record when it starts, on the worker; a run of a subtree passes over the
// nodes without a record (its groups), found in one reading of the settings file.
void TForm1::runTasks(const std::vector<TreeNode*>& nodes, bool skipWithoutRecord) {
    const kestrune::SettingsSnapshot records = settings_->snapshot();
    for (const TreeNode* node : nodes) {
        if (skipWithoutRecord && !records.sectionExists(node->text)) continue;
        RunJob job;
        job.task = node->text;
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
    RunJob job;
    job.kind = RunJob::Kind::Automatic;
    job.task = task;
    queueRun(std::move(job));
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

void TForm1::readHistoryAtStart() {
    try {
        std::vector<kestrune::HistoryEntry> runs = kestrune::readHistory(stateFolder());
        showLastRunInTip(runs);
        takeLastRuns(std::move(runs));
    } catch (const std::exception&) {
        showSelectedTask();  // a history that cannot be read is told when the user asks for it
    }
}

void TForm1::showLastRunInTip(const std::vector<kestrune::HistoryEntry>& runs) {
    if (!tray_ || runs.empty() || !runs.front().problem.empty()) return;
    lastResult_ = resultLine(runs.front().journal);
    lastJournal_ = runs.front().path;
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
    if (!runGoing() && !unrun_.isEmpty() && !exiting_) {
        const QString message = unrun_.join(QLatin1Char('\n'));
        unrun_.clear();
        reportError_(message);
    }
    if (outcome.job.kind == RunJob::Kind::Automatic) tellAutomaticRunEnded(outcome);
    if (outcome.job.kind != RunJob::Kind::Preview && !outcome.dropped) {
        readRunHistory();
        showSelectedTask();
    }
    emit runEnded();
    if (exiting_ && !runGoing()) emit exitRequested();
}

// The scheduler waits for the end of each run it started, with the paths the run touched; a
// problem it is told is shown once. A run that did not do its work (dropped, stopped, or
// left to another process running the task) is due again later.
void TForm1::tellAutomaticRunEnded(const RunOutcome& outcome) {
    const kestrune::RunSummary& summary = outcome.summary;
    const bool again = outcome.dropped || summary.stopped || summary.runningElsewhere;
    QStringList own;
    for (const std::string& path : summary.ownChanges) own << QString::fromStdString(path);
    autoRuns_->runEnded(QString::fromStdString(outcome.job.task), own,
                        summary.runningElsewhere ? QString() : problemOf(summary), again);
}

// A run that could not start says why: in a box for a click (once the command's runs ended), in the
// notification for a run nobody is watching. Entries that failed open the report at once.
void TForm1::reportRun(const RunOutcome& outcome) {
    const kestrune::RunSummary& summary = outcome.summary;
    const bool automatic = outcome.job.kind == RunJob::Kind::Automatic;
    // An automatic run that waits for another process is no news.
    if (automatic && summary.runningElsewhere) return;
    lastResult_ = resultLine(outcome);
    if (!summary.journalPath.empty()) lastJournal_ = summary.journalPath;
    statusBar()->showMessage(lastResult_);
    if (tray_) {
        showResultInTip();
        tray_->notify(windowTitle(), lastResult_);
    }
    if (!summary.recovery.empty()) {
        statusBar()->showMessage(QString::fromStdString(summary.recovery.front()));
    }
    if (!summary.error.empty()) {
        if (!automatic) unrun_ << QString::fromStdString(summary.error);
        return;
    }
    if (!summary.journalError.empty()) unrun_ << QString::fromStdString(summary.journalError);
    const bool undo = outcome.job.kind == RunJob::Kind::Undo;
    if ((undo || summary.figures.failed > 0) && !exiting_) showReport(summary.journalPath);
}

void TForm1::showPreview(const RunOutcome& outcome) {
    if (!outcome.summary.error.empty()) {
        reportError_(QString::fromStdString(outcome.summary.error));
        return;
    }
    const kestrune::RunPlan& plan = *outcome.plan;
    auto* preview = new kestrune::ui::RunReport(
        kestrune::ui::RunReport::Mode::Preview,
        QStringLiteral("Preview \u2014 %1").arg(QString::fromStdString(plan.task)),
        QStringLiteral("%1. Nothing has been touched yet.")
            .arg(QString::fromStdString(kestrune::figuresText(outcome.summary.figures))),
        kestrune::ui::ReportRows(outcome.plan, outcome.passedOver), this);
    preview->setPassedOverTotal(outcome.passedOverTotal);
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
    // The report reads the rows from the journal as they are shown.
    const auto shown = std::make_shared<const kestrune::JournalContent>(std::move(journal));
    const kestrune::JournalContent& run = *shown;
    const QString task = QString::fromStdString(run.plan.task);
    auto* report = new kestrune::ui::RunReport(
        kestrune::ui::RunReport::Mode::Report,
        QStringLiteral("Run Report \u2014 %1%2")
            .arg(run.undoes.empty() ? QString() : QStringLiteral("Undo "), task),
        QStringLiteral("Started %1: %2; %3.")
            .arg(kestrune::ui::localTime(run.started),
                 QString::fromStdString(kestrune::figuresText(run.figures)),
                 QString::fromLatin1(kestrune::runStateWord(run.ownState()))),
        kestrune::ui::ReportRows(shown), this);
    report->setTaskFolders(run.plan.record);
    keepSize(*report, kestrune::ui::WindowSizes::Window::Report);
    report->setFolderOpener(
        [this](const QString& folder) { openLink(QUrl::fromLocalFile(folder)); });
    report->setAction([this, id = run.id] { undoRun(id); });
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
