#include "ui/Unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "platform/login_start.h"
#include "platform/program_folder.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/state_folder.h"
#include "store/task_record.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/auto_runs.h"
#include "ui/desktop_links.h"
#include "ui/error_box.h"
#include "ui/history_actions.h"
#include "ui/product_links.h"
#include "ui/program_icons.h"
#include "ui/run_progress.h"
#include "ui/run_worker.h"
#include "ui/task_pane.h"
#include "ui/task_tree_model.h"
#include "ui/task_tree_view.h"
#include "ui/window_placement.h"
#include "ui/window_sizes.h"

using kestrune::TreeNode;
using kestrune::ui::ToolImage;

namespace {

constexpr int kDefaultLeft = 230;
constexpr int kDefaultTop = 171;
constexpr QSize kOuterSize(371, 495);
// The task pane's first height, in lines of text; the tree takes the rest.
constexpr int kPaneLines = 10;
constexpr std::string_view kPositionSection = kestrune::keys::kSettingsSection;

QList<QRect> usableScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
    return areas;
}

QString withSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

TForm1::TForm1(const QString& programFolder, const TrayFactory& makeTray, QWidget* parent)
    : QMainWindow(parent), programFolder_(withSlash(programFolder)) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kestrune::ui::applicationTitle());
    setWindowIcon(kestrune::ui::programIcon());
    setContextMenuPolicy(Qt::NoContextMenu);
    resize(kOuterSize);
    reportError_ = [this](const QString& message) { kestrune::ui::showErrorBox(this, message); };
    openLink_ = [this](const QUrl& address, const std::function<void()>& refused) {
        kestrune::ui::openWithDesktop(this, address, refused);
    };
    askStop_ = [this] {
        return QMessageBox::question(this, kestrune::ui::applicationTitle(),
                                     QStringLiteral("A run is going on. Stop it and exit?"),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    offerEditor_ = [this](const QString& message, bool editable) {
        return askToEdit(message, editable);
    };
    historyReader_.setMaxThreadCount(1);
    runs_ = new kestrune::ui::RunWorker(programFolder_.toStdString(), this);
    progress_ = new kestrune::ui::RunProgressDialog(runs_->progress(), this);
    connect(progress_, &kestrune::ui::RunProgressDialog::cancelRequested, this,
            [this] { runs_->cancelAll(); });
    connect(runs_, &kestrune::ui::RunWorker::finished, this, &TForm1::runFinished);
    buildActions();
    buildMenus();
    buildToolBar();
    buildTree();

    try {
        const std::string folder = programFolder_.toStdString();
        kestrune::requireReadableStateFiles(folder);
        tree_.LoadTreeIfPresent(kestrune::treePath(folder));
        settings_ = std::make_unique<kestrune::SettingsFile>(kestrune::settingsPath(folder));
        const kestrune::SettingsSnapshot stored = settings_->snapshot();
        records_ = stored;
        placeAt(QPoint(stored.readInteger(kPositionSection, kestrune::keys::kLeft, kDefaultLeft),
                       stored.readInteger(kPositionSection, kestrune::keys::kTop, kDefaultTop)));
        sizes_ = new kestrune::ui::WindowSizes(stored, this);
        autoRuns_ = new kestrune::ui::AutoRuns(programFolder_, this);
        connect(autoRuns_, &kestrune::ui::AutoRuns::runDue, this, &TForm1::runDue);
        connect(autoRuns_, &kestrune::ui::AutoRuns::notice, this,
                [this](const QString& text) { statusBar()->showMessage(text, 15000); });
        connect(autoRuns_, &kestrune::ui::AutoRuns::failed, this, [this](const QString& text) {
            statusBar()->showMessage(text);
            lastResult_ = text;
            if (tray_) showResultInTip();
        });
        automaticRuns_->setChecked(settings_->readBool(kestrune::keys::kSettingsSection,
                                                       kestrune::keys::kAutomatic, true));
        autoRuns_->setActive(automaticRuns_->isChecked());
        if (makeTray) tray_ = makeTray(*this);
        if (tray_) tray_->add();
        bindHandlers();
        readHistoryAtStart();
    } catch (...) {
        releaseTreeView();
        throw;
    }
}

TForm1::~TForm1() {
    delete runs_;  // stops a run under way and ends the worker before the tree goes
    runs_ = nullptr;
    historyReader_.waitForDone();
    releaseTreeView();
}

// The view and its model follow the tree, which goes before Qt deletes the children.
void TForm1::releaseTreeView() {
    delete treeView_;
    treeView_ = nullptr;
    model_->detach();
}

QAction* TForm1::makeAction(const char* name, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// The context menu's items bear the captions of the Task menu's, keyboard letters included.
void TForm1::buildActions() {
    const QString execute = QStringLiteral("E&xecute It");
    const QString withSubtasks = QStringLiteral("Execute It && &Subtasks");
    const QString subtasksOnly = QStringLiteral("Execute Subtasks &Only");
    const QString remove = QStringLiteral("&Delete It");
    const QString edit = QStringLiteral("&Edit It");
    const QString preview = QStringLiteral("&Preview It");
    contextItems_ = {makeAction("runit", execute), makeAction("runall", withSubtasks),
                     makeAction("runsubonly", subtasksOnly), makeAction("DeletethisTask1", remove),
                     makeAction("EditthisTask1", edit)};
    taskMenuItems_ = {makeAction("ExecutethisTask2", execute), makeAction("Execute1", withSubtasks),
                      makeAction("ExecuteitsSubtasksonly1", subtasksOnly),
                      makeAction("DeletethisTask2", remove), makeAction("EditthisTask2", edit)};
    previewItems_ = {makeAction("previewit", preview), makeAction("PreviewIt2", preview)};
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    QAction* exit = makeAction("Exit1", QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addAction(exit);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    historyActions_ = new kestrune::ui::HistoryActions(history_, this);
    historyActions_->addTo(*edit);

    const QString newTask = QStringLiteral("&New Task");
    const QString newSubtask = QStringLiteral("New Su&btask");
    taskMenu_ = bar->addMenu(QStringLiteral("&Task"));
    taskMenu_->setObjectName(QStringLiteral("task1"));
    taskMenu_->addActions(
        {taskMenuItems_[0], taskMenuItems_[1], taskMenuItems_[2], previewItems_[1]});
    taskMenu_->addSeparator()->setObjectName(QStringLiteral("N2"));
    taskMenu_->addActions({taskMenuItems_[3], taskMenuItems_[4], makeAction("NewTask1", newTask),
                           makeAction("NewSubtask2", newSubtask)});
    taskMenu_->addSeparator()->setObjectName(QStringLiteral("N6"));
    undoLastRun_ = makeAction("UndoLastRun1", QStringLiteral("&Undo Last Run"));
    taskMenu_->addActions({makeAction("RunReport1", QStringLiteral("Run &Report")),
                           makeAction("RunHistory1", QStringLiteral("Run &History")),
                           undoLastRun_});

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("Options1"));
    onTop_ = makeAction("OnTop1", QStringLiteral("On &Top"));
    onTop_->setCheckable(true);
    options->addAction(onTop_);
    startAtLogin_ = makeAction("StartatLogin1", QStringLiteral("Start at &Login"));
    startAtLogin_->setCheckable(true);
    options->addAction(startAtLogin_);
    automaticRuns_ =
        makeAction("RunTasksAutomatically1", QStringLiteral("Run Tasks &Automatically"));
    automaticRuns_->setCheckable(true);
    options->addAction(automaticRuns_);
    // The entry can come and go outside the program; the mark shows what is there now.
    connect(options, &QMenu::aboutToShow, this, &TForm1::showStartAtLogin);
    showStartAtLogin();

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addActions({makeAction("Help2", QStringLiteral("&Help")),
                      makeAction("About1", QStringLiteral("&About")),
                      makeAction("CheckVersion1", QStringLiteral("Check &Version"))});

    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("PopupMenu1"));
    contextMenu_->addActions(
        {contextItems_[0], contextItems_[1], contextItems_[2], previewItems_[0]});
    contextMenu_->addSeparator()->setObjectName(QStringLiteral("N1"));
    contextMenu_->addActions({contextItems_[3], contextItems_[4],
                              makeAction("AddNewTask1", newTask),
                              makeAction("NewSubtask1", newSubtask)});
}

void TForm1::buildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tasks"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setFixedHeight(29);
    bar->toggleViewAction()->setVisible(false);
    struct Button {
        const char* name;
        const char* hint;
        ToolImage image;
    };
    const Button buttons[] = {
        {"ToolButton1", "Execute it", ToolImage::Run},
        {"ToolButton2", "Execute it and subtasks", ToolImage::RunWithSubtasks},
        {"ToolButton3", "Execute subtasks only", ToolImage::RunSubtasksOnly},
        {"ToolButton5", "Delete it", ToolImage::Delete},
        {"ToolButton6", "Edit it", ToolImage::Edit},
        {"ToolButton7", "Add new task", ToolImage::NewTask},
        {"ToolButton8", "Add new subtask", ToolImage::NewSubtask},
    };
    for (const Button& button : buttons) {
        if (button.image == ToolImage::Delete) {
            bar->addSeparator()->setObjectName(QStringLiteral("ToolButton4"));
        }
        QAction* action = makeAction(button.name, QString::fromLatin1(button.hint));
        action->setIcon(kestrune::ui::toolImage(button.image));
        action->setToolTip(QString::fromLatin1(button.hint));
        bar->addAction(action);
        bar->widgetForAction(action)->setObjectName(QString::fromLatin1(button.name));
    }
}

void TForm1::buildTree() {
    model_ = new kestrune::ui::TaskTreeModel(tree_, this);
    treeView_ = new kestrune::ui::TaskTreeView(this);
    treeView_->setObjectName(QStringLiteral("TreeView1"));
    treeView_->setModel(model_);
    treeView_->setContextMenuPolicy(Qt::CustomContextMenu);

    // The pane goes below the tree: beside it, at the window's first width, neither would
    // have room for its text. The splitter lets the user give either more.
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("TaskSplitter"));
    pane_ = new kestrune::ui::TaskPane;
    auto* paneArea = new QScrollArea;
    paneArea->setObjectName(QStringLiteral("TaskPaneArea"));
    paneArea->setWidgetResizable(true);
    paneArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    paneArea->setWidget(pane_);
    splitter->addWidget(treeView_);
    splitter->addWidget(paneArea);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setCollapsible(0, false);
    const int paneHeight = kPaneLines * fontMetrics().lineSpacing();
    splitter->setSizes({kOuterSize.height() - paneHeight, paneHeight});
    setCentralWidget(splitter);

    // Holds the program icon, the source of the tray icon; never seen.
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(windowIcon().pixmap(32, 32));
    image->hide();

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    statusLabel_ = new QLabel(this);
    statusBar()->addWidget(statusLabel_, 1);
}

void TForm1::bindHandlers() {
    const auto bind = [this](const char* name, void (TForm1::*command)()) {
        connect(findChild<QAction*>(QString::fromLatin1(name)), &QAction::triggered, this, command);
    };
    bind("Exit1", &TForm1::ExitProgram);
    bind("About1", &TForm1::ShowAbout);
    bind("OnTop1", &TForm1::ToggleOnTop);
    bind("StartatLogin1", &TForm1::ToggleStartAtLogin);
    bind("RunTasksAutomatically1", &TForm1::ToggleAutomaticRuns);
    bind("Help2", &TForm1::ShowHelp);
    bind("CheckVersion1", &TForm1::CheckVersion);
    connect(historyActions_->undo(), &QAction::triggered, this, &TForm1::UndoTreeChange);
    connect(historyActions_->redo(), &QAction::triggered, this, &TForm1::RedoTreeChange);
    for (const char* name : {"runit", "ExecutethisTask2", "ToolButton1"}) {
        bind(name, &TForm1::RunSelected);
    }
    for (const char* name : {"runall", "Execute1", "ToolButton2"}) {
        bind(name, &TForm1::RunWithSubtasks);
    }
    for (const char* name : {"runsubonly", "ExecuteitsSubtasksonly1", "ToolButton3"}) {
        bind(name, &TForm1::RunSubtasksOnly);
    }
    for (const char* name : {"previewit", "PreviewIt2"}) bind(name, &TForm1::PreviewSelected);
    bind("RunReport1", &TForm1::ShowRunReport);
    bind("RunHistory1", &TForm1::ShowRunHistory);
    bind("UndoLastRun1", &TForm1::UndoLastRun);
    for (const char* name : {"DeletethisTask1", "DeletethisTask2", "ToolButton5"}) {
        bind(name, &TForm1::DeleteSelected);
    }
    for (const char* name : {"EditthisTask1", "EditthisTask2", "ToolButton6"}) {
        bind(name, &TForm1::EditSelected);
    }
    for (const char* name : {"AddNewTask1", "NewTask1", "ToolButton7"}) {
        bind(name, &TForm1::AddTask);
    }
    for (const char* name : {"NewSubtask1", "NewSubtask2", "ToolButton8"}) {
        bind(name, &TForm1::AddSubtask);
    }
    connect(taskMenu_, &QMenu::aboutToShow, this, [this] { EnableTaskCommands(taskMenuItems_); });
    connect(contextMenu_, &QMenu::aboutToShow, this, [this] { EnableTaskCommands(contextItems_); });
    connect(treeView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        contextMenu_->popup(treeView_->viewport()->mapToGlobal(at));
    });
    connect(treeView_, &kestrune::ui::TaskTreeView::focusEntered, this, &TForm1::ShowTaskCount);
    connect(treeView_, &kestrune::ui::TaskTreeView::openRequested, this, &TForm1::EditSelected);
    connect(treeView_, &kestrune::ui::TaskTreeView::deleteRequested, this, &TForm1::DeleteSelected);
    connect(treeView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        tree_.select(selectedNode());
        showSelectedTask();
    });
    connect(pane_, &kestrune::ui::TaskPane::reportRequested, this,
            [this](const QString& journal) { showReport(journal.toStdString()); });
    connect(autoRuns_, &kestrune::ui::AutoRuns::scheduleChanged, this, &TForm1::showSelectedTask);
    model_->setLookOf([this](const TreeNode& node) { return nodeLook(node); });
    treeView_->setDropRules(
        [this](bool fromTree, const QModelIndex& target) {
            return acceptDropOn(fromTree, model_->nodeAt(target));
        },
        [this](const QModelIndex& target) { dropOn(model_->nodeAt(target)); });
    model_->setRenameHandler(
        [this](TreeNode* node, const std::string& text) { renameInPlace(node, text); });
}

void TForm1::attachDialogs(TForm2* editor, TForm3* about) {
    editor_ = editor;
    about_ = about;
    if (editor_ != nullptr) sizes_->keep(*editor_, kestrune::ui::WindowSizes::Window::Editor);
}

void TForm1::keepSize(QWidget& window, kestrune::ui::WindowSizes::Window which) {
    sizes_->keep(window, which);
}

// The stored position is taken as long as the title bar can be reached on some screen.
void TForm1::placeAt(const QPoint& stored) {
    const int titleHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    move(kestrune::ui::placeOnScreens(stored, kOuterSize, usableScreenAreas(), titleHeight));
}

QString TForm1::statusText() const {
    return statusLabel_->text();
}

TreeNode* TForm1::selectedNode() const {
    const QModelIndexList selected = treeView_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : model_->nodeAt(selected.first());
}

void TForm1::selectNode(TreeNode* node) {
    const QModelIndex index = model_->indexOf(node);
    if (index.isValid()) {
        treeView_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        treeView_->scrollTo(index);
    } else {
        treeView_->selectionModel()->clear();
    }
    tree_.select(node);
}

void TForm1::guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        reportError_(QString::fromStdString(error.what()));
    }
}

// Saved at once, so that a crash, a kill or a power cut cannot take the change back.
void TForm1::treeChanged() {
    ShowTaskCount();
    readRecords();
    historyActions_->refresh();  // an edit may have renamed a node a caption names
    tree_.SaveTree(kestrune::treePath(programFolder_.toStdString()));
}

void TForm1::performChange(std::unique_ptr<kestrune::TreeChange> change) {
    TreeNode* focus = history_.perform(std::move(change));
    if (focus != nullptr) selectNode(focus);
    treeChanged();
}

void TForm1::afterHistoryStep(TreeNode* focus) {
    selectNode(focus);
    treeChanged();
}

void TForm1::UndoTreeChange() {
    guarded([this] { afterHistoryStep(history_.undo()); });
}

void TForm1::RedoTreeChange() {
    guarded([this] { afterHistoryStep(history_.redo()); });
}

void TForm1::runDue(const QString& task) {
    runAutomatically(task.toStdString());
}

void TForm1::ToggleAutomaticRuns() {
    guarded([this] {
        const bool on = automaticRuns_->isChecked();
        autoRuns_->setActive(on);
        showSelectedTask();
        settings_->writeInteger(kestrune::keys::kSettingsSection, kestrune::keys::kAutomatic,
                                on ? 1 : 0);
    });
}

void TForm1::DeleteSelected() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node == nullptr) return;
        performChange(kestrune::deleteChange(tree_, *settings_, node));
        // Nothing is left selected: a second Delete must not take a neighbour along unasked.
        selectNode(nullptr);
    });
}

void TForm1::EditSelected() {
    guarded([this] {
        TreeNode* node = selectedNode();
        if (node == nullptr || node->parent == nullptr || editor_ == nullptr) return;
        if (runGoing()) return;  // the run read the record; an edit waits for its end
        if (editor_->editTask(tree_, node)) treeChanged();
    });
}

void TForm1::AddTask() {
    addNode(false);
}

void TForm1::AddSubtask() {
    addNode(true);
}

// The new node is selected with its name open for typing, as the desktop's file managers
// treat a new folder.
void TForm1::addNode(bool subtask) {
    guarded([this, subtask] {
        tree_.select(selectedNode());
        performChange(kestrune::addChange(tree_, *settings_, subtask));
        treeView_->edit(treeView_->currentIndex());
    });
}

bool TForm1::acceptDropOn(bool dragStartedInTree, TreeNode* target) {
    tree_.select(selectedNode());
    return tree_.AcceptDrop(dragStartedInTree, target);
}

void TForm1::dropOn(TreeNode* target) {
    guarded([this, target] {
        if (!acceptDropOn(true, target)) return;
        // A first child dropped on its parent stays where it is: nothing to undo.
        const bool stays =
            !target->children.empty() && tree_.selected() == target->children.front().get();
        if (stays) {
            selectNode(target);
        } else {
            performChange(kestrune::dropChange(tree_, target));
        }
        treeView_->expand(model_->indexOf(target));
    });
}

// A rename must not part a node from its task nor take another task's name: the tree
// refuses such names and carries the record along.
void TForm1::renameInPlace(TreeNode* node, const std::string& text) {
    guarded([this, node, &text] {
        if (text == node->text) return;
        performChange(kestrune::renameChange(tree_, *settings_, node, text));
    });
}

void TForm1::ToggleOnTop() {
    const bool onTop = onTop_->isChecked();
    // Changing the flag on the live window keeps its place and size; setWindowFlag would
    // recreate and hide it.
    if (QWindow* window = windowHandle()) {
        window->setFlag(Qt::WindowStaysOnTopHint, onTop);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

void TForm1::showStartAtLogin() {
    startAtLogin_->setChecked(kestrune::startsAtLogin());
}

void TForm1::ToggleStartAtLogin() {
    const std::string error = kestrune::setStartAtLogin(
        startAtLogin_->isChecked(), QCoreApplication::applicationFilePath().toStdString());
    showStartAtLogin();
    if (!error.empty()) {
        reportError_(QStringLiteral("Cannot change %1. %2")
                         .arg(QString::fromStdString(kestrune::loginStartPath()),
                              QString::fromStdString(error)));
    }
}

// The help is looked for beside the executable, wherever the program keeps its state.
void TForm1::ShowHelp() {
    openLink(kestrune::ui::helpFileUrl(QString::fromStdString(kestrune::programFolder())));
}

void TForm1::CheckVersion() {
    openLink(kestrune::ui::versionCheckUrl());
}

// A desktop without a browser or a handler for the page would otherwise show nothing at all.
void TForm1::openLink(const QUrl& address) {
    openLink_(address, [this, address] { showUnopened(address); });
}

void TForm1::showUnopened(const QUrl& address) {
    const QString shown = address.isLocalFile() ? address.toLocalFile() : address.toString();
    QMessageBox box(QMessageBox::Information, kestrune::ui::applicationTitle(),
                    QStringLiteral("The desktop could not open this address:\n%1").arg(shown),
                    QMessageBox::Ok, this);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

// A task without a record would only fail to run: the user is offered to set it up instead.
bool TForm1::offeredEditorInsteadOfRun(TreeNode* node) {
    if (node == nullptr || settings_->sectionExists(node->text)) return false;
    const QString name = QString::fromStdString(node->text);
    const bool task = node->parent != nullptr;
    const QString message =
        task ? QStringLiteral(
                   "\u201c%1\u201d has no settings yet, so it cannot run. Set its "
                   "folders, action and filters in the Task Editor first.")
                   .arg(name)
             : QStringLiteral(
                   "\u201c%1\u201d is a group and has no settings of its own. "
                   "Execute It & Subtasks runs the tasks in it.")
                   .arg(name);
    if (offerEditor_(message, task && !runGoing())) {
        showMainWindow();
        selectNode(node);
        EditSelected();
    }
    return true;
}

bool TForm1::askToEdit(const QString& message, bool editable) {
    QMessageBox box(QMessageBox::Information, kestrune::ui::applicationTitle(), message,
                    QMessageBox::NoButton, this);
    QPushButton* edit = nullptr;
    if (editable) {
        edit = box.addButton(QStringLiteral("&Edit It"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(edit);
    } else {
        box.addButton(QMessageBox::Ok);
    }
    box.exec();
    return edit != nullptr && box.clickedButton() == edit;
}

void TForm1::ShowAbout() {
    if (about_ != nullptr) about_->exec();
}

void TForm1::ShowTaskCount() {
    const int count = tree_.TaskCount();
    statusLabel_->setText(QStringLiteral(" You Have %1 %2")
                              .arg(count)
                              .arg(count > 1 ? QStringLiteral("Tasks") : QStringLiteral("Task")));
}

// While a run goes on, the run commands and the editor wait for it.
void TForm1::EnableTaskCommands(const TaskItems& items) {
    const TreeNode* node = selectedNode();
    const bool idle = !runGoing();
    for (std::size_t i = 0; i < 3; ++i) items[i]->setEnabled(node != nullptr && idle);
    items[3]->setEnabled(node != nullptr);
    items[4]->setEnabled(node != nullptr && node->parent != nullptr && idle);
    for (QAction* preview : previewItems_) preview->setEnabled(node != nullptr && idle);
    undoLastRun_->setEnabled(idle);
}

void TForm1::ExitProgram() {
    exitProgram(true);
}

void TForm1::EndProgram() {
    exitProgram(false);
}

// A run under way is stopped before its next entry, journaled; the window goes at once and
// the program ends when the worker says the run is over, so nothing waits on a frozen window.
void TForm1::exitProgram(bool ask) {
    if (exiting_) return;
    if (runGoing()) {
        if (ask && !askStop_()) return;
        exiting_ = true;
        if (autoRuns_ != nullptr) autoRuns_->setActive(false);
        runs_->cancelAll();
        hide();
        progress_->stop();
        if (tray_) tray_->remove();
        return;
    }
    if (tray_) tray_->remove();
    emit exitRequested();
}

// The position and the window sizes go in one replace of the settings file.
void TForm1::saveState() {
    tree_.SaveTree(kestrune::treePath(programFolder_.toStdString()));
    kestrune::SettingsEdit edit;
    edit.writeInteger(kPositionSection, kestrune::keys::kLeft, pos().x())
        .writeInteger(kPositionSection, kestrune::keys::kTop, pos().y());
    sizes_->addTo(edit);
    settings_->apply(edit);
}

void TForm1::shutdownSave() {
    guarded([this] {
        saveState();
        settings_->close();
    });
}

void TForm1::showMainWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    ShowTaskCount();
}

// Closing hides the window; the tray icon brings it back. Where the desktop has no
// notification area nothing could, so there closing ends the program.
void TForm1::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (tray_ && tray_->available()) {
        hide();
    } else {
        ExitProgram();
    }
}

// Another process (kestrune-cli) may have run tasks while the window was hidden.
void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    fitOuterSize();
    ShowTaskCount();
    readRunHistory();
    showSelectedTask();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    fitOuterSize();
}

// The stored size is the outer one, frame included. The window manager tells the frame only
// after the window is first shown, so the size is set once the frame is known.
void TForm1::fitOuterSize() {
    if (sized_ || !isVisible()) return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull()) return;
    sized_ = true;
    resize(kOuterSize - frame);
}
