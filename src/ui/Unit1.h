#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QThreadPool>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run/history/run_history.h"
#include "store/settings_file.h"
#include "store/task_tree.h"
#include "store/tree_changes.h"
#include "ui/task_tree_model.h"
#include "ui/tray_port.h"
#include "ui/window_sizes.h"

class QLabel;
class QMenu;
class QToolBar;
class QUrl;
class TForm2;
class TForm3;

namespace kestrune::ui {
class AutoRuns;
class HistoryActions;
class RunProgressDialog;
class RunReport;
class RunWorker;
struct RunJob;
struct RunOutcome;
class TaskPane;
class TaskTreeView;
}  // namespace kestrune::ui

// The main window: the task tree with its menus, toolbar and status bar, and every command.
// Every change of the tree is saved to the tree file at once, so that nothing depends on an
// orderly end of the program.
class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    using TrayFactory = std::function<std::unique_ptr<kestrune::ui::TrayPort>(TForm1&)>;
    using ErrorReporter = std::function<void(const QString& message)>;
    // Hands an address to the desktop's default handler; calls refused when nothing took it.
    using LinkOpener =
        std::function<void(const QUrl& address, const std::function<void()>& refused)>;
    // The run, delete and edit items of one menu, in that order.
    using TaskItems = std::array<QAction*, 5>;
    // Asked on Exit while a run goes on: true stops the run and exits.
    using StopQuestion = std::function<bool()>;
    // Tells why a node without a record cannot run; when editable, true opens the editor.
    using EditOffer = std::function<bool(const QString& message, bool editable)>;

    // The creation sequence: loads the tree file of programFolder (the state folder, ending
    // with "/") when it exists, opens the settings file, takes the stored position and adds
    // the tray icon.
    // Throws kestrune::TreeFileError when the tree file cannot be loaded; nothing is written.
    explicit TForm1(const QString& programFolder, const TrayFactory& makeTray = {},
                    QWidget* parent = nullptr);
    ~TForm1() override;

    // The task editor and the About box, created after this window.
    void attachDialogs(TForm2* editor, TForm3* about);
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }
    void setLinkOpener(LinkOpener opener) { openLink_ = std::move(opener); }
    void setStopQuestion(StopQuestion ask) { askStop_ = std::move(ask); }
    void setEditOffer(EditOffer offer) { offerEditor_ = std::move(offer); }
    // Gives a window of runs its remembered size and keeps what the user makes of it.
    void keepSize(QWidget& window, kestrune::ui::WindowSizes::Window which);

    kestrune::SettingsFile& settings() { return *settings_; }
    kestrune::TaskTree& tree() { return tree_; }
    const QString& programFolder() const { return programFolder_; }
    QString statusText() const;

    kestrune::TreeNode* selectedNode() const;
    void selectNode(kestrune::TreeNode* node);

    // The tree control's drag-over test and drop, on the node under the pointer.
    bool acceptDropOn(bool dragStartedInTree, kestrune::TreeNode* target);
    void dropOn(kestrune::TreeNode* target);
    // In-place label editing ended with this text.
    void renameInPlace(kestrune::TreeNode* node, const std::string& text);

    // Writes the tree file and the window position. Throws the store's errors.
    void saveState();
    // The last save before the program ends; its errors go to the error box.
    void shutdownSave();
    // Makes the window visible and brings it to the front.
    void showMainWindow();

    // Runs one task node's record, as "Execute It" does on the selection.
    void runNode(kestrune::TreeNode* node);
    // For a node without a record, which cannot run: says so, offers the editor and returns
    // true. False for a node with one.
    bool offeredEditorInsteadOfRun(kestrune::TreeNode* node);
    // Queues an automatic run of the task, the core's, as kestrune-cli watch carries it out.
    // It speaks only through the tray's notification and the status bar, and opens its
    // report when entries failed.
    void runAutomatically(const std::string& task);
    // A run, a preview's planning or an undo is under way or waiting.
    bool runGoing() const;
    // The last run's result as the tray's tip and notification give it.
    const QString& lastRunResult() const { return lastResult_; }
    // Opens the report of the run journaled there; null when the journal cannot be read.
    kestrune::ui::RunReport* showReport(const std::string& journalPath);

    const TaskItems& contextItems() const { return contextItems_; }
    const TaskItems& taskMenuItems() const { return taskMenuItems_; }
    kestrune::ui::RunWorker& runs() { return *runs_; }

  public slots:
    void RunSelected();
    void RunWithSubtasks();
    void RunSubtasksOnly();
    void PreviewSelected();
    void ShowRunReport();
    void ShowRunHistory();
    void UndoLastRun();
    void DeleteSelected();
    void EditSelected();
    void AddTask();
    void AddSubtask();
    void ToggleOnTop();
    // Writes or removes the desktop's autostart entry, as the check item now says.
    void ToggleStartAtLogin();
    // Pauses or resumes every automatic run, as the check item now says, and saves it.
    void ToggleAutomaticRuns();
    void ShowHelp();
    void CheckVersion();
    void ShowAbout();
    void ShowTaskCount();
    // Take back the newest change of the tree, or make the one taken back again.
    void UndoTreeChange();
    void RedoTreeChange();
    void EnableTaskCommands(const TaskItems& items);
    // The exit sequence: removes the tray icon and asks the program to end. During a run it
    // asks once whether to stop it; the program ends as soon as the run has stopped.
    void ExitProgram();
    // The same without the question: a termination signal, the end of the session.
    void EndProgram();

  signals:
    void exitRequested();
    // A run, preview or undo has ended and reported (its report window may be open).
    void runEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private slots:
    // A task is due to run by itself.
    void runDue(const QString& task);

  private:
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildTree();
    void bindHandlers();
    QAction* makeAction(const char* name, const QString& caption);
    void releaseTreeView();
    void placeAt(const QPoint& stored);
    void addNode(bool subtask);
    bool askToEdit(const QString& message, bool editable);

    void runTasks(const std::vector<kestrune::TreeNode*>& nodes, bool skipWithoutRecord);
    void exitProgram(bool ask);
    void queueRun(kestrune::ui::RunJob job);
    void undoRun(const std::string& runId);
    void runFinished(const kestrune::ui::RunOutcome& outcome);
    void tellAutomaticRunEnded(const kestrune::ui::RunOutcome& outcome);
    void reportRun(const kestrune::ui::RunOutcome& outcome);
    void showPreview(const kestrune::ui::RunOutcome& outcome);
    void setRunning(bool running);
    void showLastRunInTip(const std::vector<kestrune::HistoryEntry>& runs);
    void showResultInTip();
    // The task pane and the tree's marks follow the settings file and the history.
    void readRecords();
    // Reads the history again off the window's thread; the pane shows it when it is read.
    void readRunHistory();
    void takeLastRuns(std::vector<kestrune::HistoryEntry> runs);
    // The tray's tip and the pane from the history, before the window is first shown.
    void readHistoryAtStart();
    void showSelectedTask();
    kestrune::ui::TaskTreeModel::NodeLook nodeLook(const kestrune::TreeNode& node) const;
    std::string stateFolder() const { return programFolder_.toStdString(); }
    void treeChanged();
    void performChange(std::unique_ptr<kestrune::TreeChange> change);
    void afterHistoryStep(kestrune::TreeNode* focus);
    void guarded(const std::function<void()>& command);
    void fitOuterSize();
    void openLink(const QUrl& address);
    void showUnopened(const QUrl& address);
    void showStartAtLogin();

    QString programFolder_;
    kestrune::TaskTree tree_;
    std::unique_ptr<kestrune::SettingsFile> settings_;
    std::unique_ptr<kestrune::ui::TrayPort> tray_;
    ErrorReporter reportError_;
    LinkOpener openLink_;
    kestrune::TreeHistory history_;
    kestrune::ui::HistoryActions* historyActions_ = nullptr;

    kestrune::ui::TaskTreeModel* model_ = nullptr;
    kestrune::ui::TaskTreeView* treeView_ = nullptr;
    kestrune::ui::TaskPane* pane_ = nullptr;
    std::optional<kestrune::SettingsSnapshot> records_;       // as last read
    std::map<std::string, kestrune::HistoryEntry> lastRuns_;  // of each task
    QThreadPool historyReader_;                               // one reading at a time
    quint64 historyReads_ = 0;                                // the newest one asked for
    QLabel* statusLabel_ = nullptr;
    QMenu* taskMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QAction* onTop_ = nullptr;
    QAction* startAtLogin_ = nullptr;
    QAction* automaticRuns_ = nullptr;
    kestrune::ui::AutoRuns* autoRuns_ = nullptr;
    TaskItems contextItems_{};
    TaskItems taskMenuItems_{};
    std::array<QAction*, 2> previewItems_{};
    QAction* undoLastRun_ = nullptr;
    kestrune::ui::RunWorker* runs_ = nullptr;
    kestrune::ui::RunProgressDialog* progress_ = nullptr;
    StopQuestion askStop_;
    EditOffer offerEditor_;
    kestrune::ui::WindowSizes* sizes_ = nullptr;
    QString lastResult_;
    QStringList unrun_;  // why the runs of the command under way could not start
    std::string lastJournal_;
    TForm2* editor_ = nullptr;
    TForm3* about_ = nullptr;
    bool sized_ = false;
    bool exiting_ = false;  // the program ends once the run under way has stopped
};
