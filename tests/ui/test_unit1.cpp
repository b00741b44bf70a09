#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "main_window_fixture.h"
#include "store/errors.h"
#include "store/settings_file.h"
#include "ui/auto_runs.h"
#include "ui/error_box.h"
#include "ui/run_history_window.h"
#include "ui/run_report.h"
#include "ui/window_placement.h"

using kestrune::TreeNode;
using kestrune::test::MainWindow;
using kestrune::test::ModalCloser;
using kestrune::test::readBytes;
using kestrune::test::TrayLog;

class TestUnit1 : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QString file(const char* name) const { return folder() + QString::fromLatin1(name); }

    std::unique_ptr<QTemporaryDir> scratch_;

  private slots:
    void init() { scratch_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() { scratch_.reset(); }

    void startsWithTheDefaultTreeAtTheDefaultPlace() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrune"));
        QCOMPARE(form.pos(), QPoint(230, 171));
        QVERIFY(form.statusText().isEmpty());
        QVERIFY(window.node("All Tasks") != nullptr);
        QCOMPARE(window.node("Desktop Tidy")->parent, window.node("All Tasks"));
        QVERIFY(form.selectedNode() == nullptr);
        form.show();
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 1 Task"));
        // Opening touches nothing on disk.
        QVERIFY(!QFile::exists(file("Setting.cfg")));
        QVERIFY(!QFile::exists(file("kestrune.dll")));
    }

    void takesItsPositionFromTheSettingsFile() {
        kestrune::test::writeBytes(file("Setting.cfg"), "[Settings]\r\nfrmx=0x20\r\nfrmy=bad\r\n");
        MainWindow window(folder());
        QCOMPARE(window.form->pos(), QPoint(32, 171));
    }

    // A title bar that no screen shows is moved onto the nearest screen, no further than it
    // must; one that shows where it is stays, also partly off the edge.
    void aPositionOffEveryScreenIsMovedOntoTheNearest() {
        const QList<QRect> screens{{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
        const QSize outer(371, 495);
        const std::pair<QPoint, QPoint> cases[] = {
            {{230, 171}, {230, 171}},     {{1500, 100}, {1500, 100}},  // either screen
            {{-100, 171}, {-100, 171}},   {{900, 900}, {900, 900}},    // part of it off
            {{3000, 2000}, {2829, 585}},  {{230, 99999}, {230, 529}},  // monitor gone
            {{-5000, 171}, {0, 171}},     {{100, -10}, {100, 0}},      // title bar above
            {{2147483647, 0}, {2829, 0}}, {{100, 1020}, {100, 529}},   // its title bar cut
        };
        for (const auto& [stored, placed] : cases) {
            QCOMPARE(kestrune::ui::placeOnScreens(stored, outer, screens, 24), placed);
        }
        // The window on the one screen of the test platform, and the place saved at the end.
        kestrune::test::writeBytes(file("Setting.cfg"), "[Settings]\r\nfrmx=3000\r\nfrmy=2000\r\n");
        MainWindow window(folder());
        const QRect screen = window.form->screen()->availableGeometry();
        QVERIFY(screen.contains(QRect(window.form->pos(), outer)));
        window.form->saveState();
        const kestrune::SettingsFile settings(file("Setting.cfg").toStdString());
        QCOMPARE(settings.readInteger("Settings", "frmx", -1), window.form->pos().x());
    }

    // A window of runs opens at the size the user gave it last, also after a restart: the
    // sizes are saved with the position.
    void windowsOfRunsKeepTheirSizes() {
        const auto history = [](TForm1& form) {
            form.ShowRunHistory();
            return form.findChild<kestrune::ui::RunHistoryWindow*>();
        };
        {
            MainWindow window(folder());
            kestrune::ui::RunHistoryWindow* shown = history(*window.form);
            QVERIFY(QTest::qWaitForWindowExposed(shown));
            shown->resize(640, 480);
            QTRY_COMPARE(shown->size(), QSize(640, 480));
            shown->close();
            QTRY_VERIFY(window.form->findChild<kestrune::ui::RunHistoryWindow*>() == nullptr);
            QCOMPARE(history(*window.form)->size(), QSize(640, 480));
            window.form->saveState();
        }
        MainWindow restarted(folder());
        QCOMPARE(history(*restarted.form)->size(), QSize(640, 480));
    }

    void aTreeFileThatCannotBeLoadedStopsTheWindowAndWritesNothing() {
        kestrune::test::writeBytes(file("kestrune.dll"), "A\r\n\t\tB\r\n");
        QVERIFY_THROWS_EXCEPTION(kestrune::TreeFileError, MainWindow{folder()});
        QCOMPARE(kestrune::test::readBytes(file("kestrune.dll")), QByteArray("A\r\n\t\tB\r\n"));
        QVERIFY(!QFile::exists(file("Setting.cfg")));
    }

    void hasTheMenusToolbarAndNames() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        for (const char* name : {"MainMenu1", "ToolBar1", "TreeView1", "StatusBar1", "PopupMenu1",
                                 "Image1", "File1", "task1", "Options1", "Help1"}) {
            QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);
        }
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Image1"))->isHidden());
        const auto exit = form.findChild<QAction*>(QStringLiteral("Exit1"));
        QCOMPARE(exit->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        const QStringList titles = {QStringLiteral("&File"), QStringLiteral("&Edit"),
                                    QStringLiteral("&Task"), QStringLiteral("&Options"),
                                    QStringLiteral("&Help")};
        QStringList shown;
        for (QAction* menu : form.menuBar()->actions()) shown << menu->text();
        QCOMPARE(shown, titles);
        const std::pair<const char*, const char*> hints[] = {
            {"ToolButton1", "Execute it"},
            {"ToolButton2", "Execute it and subtasks"},
            {"ToolButton3", "Execute subtasks only"},
            {"ToolButton5", "Delete it"},
            {"ToolButton6", "Edit it"},
            {"ToolButton7", "Add new task"},
            {"ToolButton8", "Add new subtask"}};
        for (const auto& [name, hint] : hints) {
            auto* button = form.findChild<QToolButton*>(QString::fromLatin1(name));
            QVERIFY2(button != nullptr, name);
            QCOMPARE(button->toolTip(), QString::fromLatin1(hint));
            QVERIFY(!button->icon().isNull());
        }
        // The context menu says what the Task menu says, and each item of a menu has a key.
        const auto captions = [&](const char* menu) {
            QStringList texts;
            for (QAction* item : form.findChild<QMenu*>(QString::fromLatin1(menu))->actions()) {
                if (!item->isSeparator()) texts << item->text();
            }
            return texts;
        };
        const QStringList context = captions("PopupMenu1");
        QCOMPARE(context, captions("task1").mid(0, context.size()));
        QCOMPARE(context[1], QStringLiteral("Execute It && &Subtasks"));
        QCOMPARE(context[2], QStringLiteral("Execute Subtasks &Only"));
        for (const char* menu : {"File1", "Edit1", "task1", "Options1", "Help1", "PopupMenu1"}) {
            QSet<QChar> keys;
            for (const QString& caption : captions(menu)) {
                const QString marked = QString(caption).remove(QStringLiteral("&&"));
                const qsizetype at = marked.indexOf(QLatin1Char('&'));
                QVERIFY2(at >= 0, qPrintable(caption));
                keys << marked[at + 1].toLower();
            }
            QCOMPARE(keys.size(), captions(menu).size());
        }
    }

    void statusBarCountsTaskNodes() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        form.selectNode(window.node("Desktop Tidy"));
        form.AddSubtask();
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 2 Tasks"));
        form.selectNode(window.node("All Tasks"));
        form.DeleteSelected();
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 0 Task"));
        form.AddTask();
        form.AddTask();
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 0 Task"));
        QVERIFY(window.errors.isEmpty());
    }

    void enablingRulesOfBothMenus() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        const auto check = [&](bool runAndDelete, bool edit) {
            for (const TForm1::TaskItems* items : {&form.contextItems(), &form.taskMenuItems()}) {
                form.EnableTaskCommands(*items);
                for (std::size_t i = 0; i < 4; ++i)
                    QCOMPARE((*items)[i]->isEnabled(), runAndDelete);
                QCOMPARE((*items)[4]->isEnabled(), edit);
            }
            for (const char* name : {"AddNewTask1", "NewSubtask1", "NewTask1", "NewSubtask2"}) {
                QVERIFY(form.findChild<QAction*>(QString::fromLatin1(name))->isEnabled());
            }
        };
        check(false, false);
        form.selectNode(window.node("All Tasks"));
        check(true, false);
        form.selectNode(window.node("Desktop Tidy"));
        check(true, true);
        // Opening the Task menu applies the rule to it.
        form.selectNode(nullptr);
        auto* taskMenu = form.findChild<QMenu*>(QStringLiteral("task1"));
        emit taskMenu->aboutToShow();
        QVERIFY(!form.findChild<QAction*>(QStringLiteral("EditthisTask2"))->isEnabled());
    }

    void commandsWithNothingSelectedDoNothing() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        for (const char* name :
             {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton5", "ToolButton6"}) {
            QTest::mouseClick(form.findChild<QToolButton*>(QString::fromLatin1(name)),
                              Qt::LeftButton);
        }
        QCOMPARE(form.tree().allNodes().size(), std::size_t{2});
        QVERIFY(window.errors.isEmpty());
        QVERIFY(!QFile::exists(file("kestrune.dll")));
        // New Task with nothing selected adds a group node, and the tree file follows at once.
        QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("ToolButton7")),
                          Qt::LeftButton);
        QCOMPARE(form.tree().roots().size(), std::size_t{2});
        QCOMPARE(kestrune::test::readBytes(file("kestrune.dll")),
                 QByteArray("All Tasks\r\n\tDesktop Tidy\r\nNew Task 2\r\n"));
    }

    // Each run button does what its hint says; a task that cannot run says why, and nodes
    // without a record are passed over.
    void runButtonsRunWhatTheirHintsSay() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.selectNode(window.node("Desktop Tidy"));
        form.AddSubtask();
        form.tree().rename(window.node("New Task 2"), "Deep");
        form.selectNode(window.node("Desktop Tidy"));
        form.AddSubtask();  // "New Task 3", no record: skipped
        form.selectNode(window.node("Desktop Tidy"));
        const QString missing = folder() + QStringLiteral("missing");
        for (const char* task : {"Desktop Tidy", "Deep"}) {
            form.settings().writeString(task, "s_folder", missing.toStdString());
            form.settings().writeInteger(task, "actions", 3);
            form.settings().writeString(task, "filters", "*.tmp");
        }
        const auto press = [&](const char* button) {
            window.errors.clear();
            QTest::mouseClick(form.findChild<QToolButton*>(QString::fromLatin1(button)),
                              Qt::LeftButton);
            if (!window.runsEnd()) return QStringLiteral("still running");
            return window.errors.join(QLatin1Char('|'));
        };
        QString shown = press("ToolButton1");
        QVERIFY(shown.contains(QStringLiteral("Desktop Tidy")) && !shown.contains("Deep"));
        shown = press("ToolButton2");
        QCOMPARE(window.errors.size(), 1);
        QVERIFY(shown.indexOf(QStringLiteral("Desktop Tidy")) < shown.indexOf("Deep"));
        QVERIFY(!shown.contains(QStringLiteral("New Task 3")));
        shown = press("ToolButton3");
        QVERIFY(shown.contains(QStringLiteral("Deep")) && !shown.contains("Desktop Tidy"));
        QVERIFY(!shown.contains(QStringLiteral("New Task 3")));
        // A node without a record does not run: the window says why and offers the editor.
        form.selectNode(window.node("New Task 3"));
        QVERIFY(press("ToolButton1").isEmpty());
        QCOMPARE(window.offers.size(), 1);
        QVERIFY(
            window.offers[0].contains(QStringLiteral("\u201cNew Task 3\u201d has no settings")));
    }

    void executeItRunsTheSelectedTask() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("desk")));
        kestrune::test::writeBytes(file("desk/old.tmp"), "x");
        kestrune::test::writeBytes(file("desk/keep.txt"), "x");
        form.settings().writeString("Desktop Tidy", "s_folder",
                                    (folder() + QStringLiteral("desk")).toStdString());
        form.settings().writeInteger("Desktop Tidy", "actions", 3);
        form.settings().writeInteger("Desktop Tidy", "sublevel", 0);
        form.settings().writeString("Desktop Tidy", "filters", "*.tmp");
        form.selectNode(window.node("Desktop Tidy"));
        form.findChild<QAction*>(QStringLiteral("runit"))->trigger();
        QVERIFY(window.runsEnd());
        QVERIFY(window.errors.isEmpty());
        QVERIFY(!QFile::exists(file("desk/old.tmp")));
        QVERIFY(QFile::exists(file("desk/keep.txt")));
    }

    // A run that could not do every entry opens its report at once, the failures on top.
    void failedEntriesOfARunAreShown() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        const auto desk = [this](const char* name) { return folder() + "desk/" + name; };
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("desk")));
        for (const char* name : {"a.tmp", "b.tmp", "c.tmp", "d.tmp", "e.tmp"}) {
            kestrune::test::writeBytes(desk(name), "x");
        }
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("desk/f.tmp")));  // merged, not failed
        kestrune::test::writeBytes(desk("f.tmp/g.tmp"), "x");
        for (const char* name : {"a.tmp", "c.tmp", "e.tmp", "f.tmp/g.tmp"}) {
            QFile(desk(name)).setPermissions(QFile::ReadOwner);
        }
        form.settings().writeString("Desktop Tidy", "s_folder",
                                    (folder() + QStringLiteral("desk")).toStdString());
        form.settings().writeInteger("Desktop Tidy", "actions", 3);
        form.settings().writeString("Desktop Tidy", "filters", "*.tmp");
        form.selectNode(window.node("Desktop Tidy"));
        form.findChild<QAction*>(QStringLiteral("runit"))->trigger();
        QVERIFY(window.runsEnd());
        QVERIFY(window.errors.isEmpty());
        auto* report = form.findChild<kestrune::ui::RunReport*>(QStringLiteral("RunReport"));
        QVERIFY(report != nullptr && report->isVisible());
        const QAbstractItemModel& rows = *report->shownRows();
        QCOMPARE(rows.rowCount(), 7);
        const auto cell = [&](int row, int column) {
            return rows.index(row, column).data().toString();
        };
        QCOMPARE(cell(0, 1), QStringLiteral("a.tmp"));  // below the source folder
        QCOMPARE(rows.index(0, 1).data(Qt::ToolTipRole).toString(), desk("a.tmp"));
        for (int row = 0; row < 7; ++row) {
            QCOMPARE(cell(row, 3).startsWith(QStringLiteral("failed: ")), row < 4);
            QCOMPARE(rows.index(row, 0).data(Qt::ForegroundRole).isValid(), row < 4);
        }
        report->filter()->setText(QStringLiteral("B.TMP"));
        QCOMPARE(rows.rowCount(), 1);
        QCOMPARE(cell(0, 3), QStringLiteral("ok"));
        QCOMPARE(form.lastRunResult(),
                 QStringLiteral("Desktop Tidy: 2 done, 4 failed, 1 folder merged"));
        QVERIFY(!QFile::exists(desk("b.tmp")));
        QVERIFY(QFile::exists(desk("a.tmp")));
    }

    void editOpensTheEditorOnTaskNodesOnlyAndSavesTheTree() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.selectNode(window.node("All Tasks"));
        form.EditSelected();
        QVERIFY(window.editor->isHidden());
        form.selectNode(window.node("Desktop Tidy"));
        ModalCloser closer;
        form.EditSelected();
        QVERIFY(closer.seen());
        QCOMPARE(closer.title(), window.editor->windowTitle());
        QVERIFY(QFile::exists(file("kestrune.dll")));
        QCOMPARE(form.statusText(), QStringLiteral(" You Have 1 Task"));
    }

    void aboutBoxIsModal() {
        MainWindow window(folder());
        ModalCloser closer;
        window.form->findChild<QAction*>(QStringLiteral("About1"))->trigger();
        QVERIFY(closer.seen());
        QCOMPARE(closer.title(), QStringLiteral("About Kestrune"));
    }

    void helpAndVersionCheckGoThroughTheDesktop() {
        MainWindow window(folder());
        QList<QUrl> opened;
        window.form->setLinkOpener([&](const QUrl& url, const auto&) { opened << url; });
        window.form->findChild<QAction*>(QStringLiteral("Help2"))->trigger();
        window.form->findChild<QAction*>(QStringLiteral("CheckVersion1"))->trigger();
        QCOMPARE(opened.size(), 2);
        // No kestrune.chm beside the tests: the help page the build laid out.
        const QString page = opened[0].toLocalFile();
        QVERIFY2(page.endsWith(QStringLiteral("/share/kestrune/help/index.html")),
                 qPrintable(page));
        QVERIFY(QFile::exists(page));
        QCOMPARE(opened[1].toString(), QStringLiteral("https://" KESTRUNE_WEB_HOST
                                                      "/products/kestrune/vcheck.php?v=1.0"));
    }

    // Where the desktop has nothing to open an address with, the address is shown instead.
    void anAddressTheDesktopCannotOpenIsShown() {
        MainWindow window(folder());
        window.form->setLinkOpener([](const QUrl&, const auto& refused) { refused(); });
        for (const char* item : {"Help2", "CheckVersion1"}) {
            ModalCloser closer;
            window.form->findChild<QAction*>(QString::fromLatin1(item))->trigger();
            QVERIFY2(closer.seen(), item);
            QCOMPARE(closer.title(), QStringLiteral("Kestrune"));
            const QString address = QString::fromLatin1(item) == QStringLiteral("Help2")
                                        ? QStringLiteral("/share/kestrune/help/index.html")
                                        : QStringLiteral("/products/kestrune/vcheck.php?v=1.0");
            QVERIFY2(closer.text().contains(address), qPrintable(closer.text()));
        }
    }

    // The check mark is the autostart entry's presence, also when it changed meanwhile.
    void startAtLoginWritesAndRemovesTheAutostartEntry() {
        qputenv("XDG_CONFIG_HOME", (folder() + QStringLiteral("config")).toLocal8Bit());
        const QString entry = folder() + QStringLiteral("config/autostart/kestrune.desktop");
        MainWindow window(folder());
        auto* item = window.form->findChild<QAction*>(QStringLiteral("StartatLogin1"));
        auto* options = window.form->findChild<QMenu*>(QStringLiteral("Options1"));
        QCOMPARE(item->text(), QStringLiteral("Start at &Login"));
        QVERIFY(item->isCheckable() && !item->isChecked());

        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(readBytes(entry).contains(" --hidden\n"));
        QFile::remove(entry);
        emit options->aboutToShow();
        QVERIFY(!item->isChecked());
        item->trigger();
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!QFile::exists(entry));

        // A config home that cannot hold the folder: reported, and the mark stays clear.
        kestrune::test::writeBytes(folder() + QStringLiteral("file"), "");
        qputenv("XDG_CONFIG_HOME", (folder() + QStringLiteral("file")).toLocal8Bit());
        item->trigger();
        QVERIFY(!item->isChecked());
        QCOMPARE(window.errors.size(), 1);
        QVERIFY(window.errors[0].startsWith(QStringLiteral("Cannot change ")));
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A watching task runs by itself through the window's own run; the item pauses all
    // such runs and is remembered.
    void runTasksAutomaticallyRunsPausesAndIsSaved() {
        const QString inbox = folder() + QStringLiteral("Inbox");
        const QString sorted = folder() + QStringLiteral("Sorted");
        QDir().mkpath(inbox);
        kestrune::test::writeBytes(file("kestrune.dll"), "Tidy\r\n");
        kestrune::test::writeBytes(file("Setting.cfg"),
                                   ("[Tidy]\ns_folder=" + inbox + "\nt_folder=" + sorted +
                                    "\nactions=1\nfilters=*.txt\nwatch=1\n")
                                       .toUtf8());
        {
            MainWindow window(folder());
            auto* item = window.form->findChild<QAction*>(QStringLiteral("RunTasksAutomatically1"));
            auto* runs = window.form->findChild<kestrune::ui::AutoRuns*>();
            QCOMPARE(item->text(), QStringLiteral("Run Tasks &Automatically"));
            QVERIFY(item->isCheckable() && item->isChecked() && runs->active());
            // The loop tells which tasks take part once it watches their sources.
            QTRY_COMPARE_WITH_TIMEOUT(window.form->statusBar()->currentMessage(),
                                      QStringLiteral("Tasks that run by themselves: Tidy"), 5000);
            kestrune::test::writeBytes(inbox + QStringLiteral("/a.txt"), "a");
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(sorted + QStringLiteral("/a.txt")), 15000);
            item->trigger();
            QVERIFY(!item->isChecked() && !runs->active());
            QVERIFY(window.errors.isEmpty());
        }
        MainWindow again(folder());
        QVERIFY(!again.form->findChild<QAction*>(QStringLiteral("RunTasksAutomatically1"))
                     ->isChecked());
        QVERIFY(!again.form->findChild<kestrune::ui::AutoRuns*>()->active());
    }

    void onTopTwiceLeavesTheWindowAsItWas() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect before = form.geometry();
        auto* onTop = form.findChild<QAction*>(QStringLiteral("OnTop1"));
        onTop->trigger();
        QVERIFY(onTop->isChecked());
        QVERIFY(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(form.isVisible());
        onTop->trigger();
        QVERIFY(!onTop->isChecked());
        QVERIFY(!form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form.geometry(), before);
    }

    void closingHidesWhileANotificationAreaExists() {
        TrayLog tray;
        MainWindow window(folder(), &tray);
        TForm1& form = *window.form;
        QCOMPARE(tray.added, 1);
        QSignalSpy exits(&form, &TForm1::exitRequested);
        form.show();
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!form.close());
            QVERIFY(form.isHidden());
            form.showMainWindow();
        }
        QCOMPARE(exits.size(), 0);
        QCOMPARE(tray.removed, 0);
    }

    void closingExitsWithoutANotificationArea() {
        TrayLog tray;
        tray.available = false;
        MainWindow window(folder(), &tray);
        QSignalSpy exits(window.form.get(), &TForm1::exitRequested);
        window.form->show();
        window.form->close();
        QCOMPARE(exits.size(), 1);
        QCOMPARE(tray.removed, 1);
    }

    void exitRemovesTheTrayIconAndAsksToEnd() {
        TrayLog tray;
        MainWindow window(folder(), &tray);
        QSignalSpy exits(window.form.get(), &TForm1::exitRequested);
        window.form->findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
        QCOMPARE(exits.size(), 1);
        QCOMPARE(tray.removed, 1);
    }

    void shutdownSaveWritesTreeAndPosition() {
        MainWindow window(folder());
        window.form->move(300, 200);
        window.form->shutdownSave();
        QCOMPARE(kestrune::test::readBytes(file("kestrune.dll")),
                 QByteArray("All Tasks\r\n\tDesktop Tidy\r\n"));
        kestrune::SettingsFile settings(file("Setting.cfg").toStdString());
        QCOMPARE(settings.readInteger("Settings", "frmx", 0), 300);
        QCOMPARE(settings.readInteger("Settings", "frmy", 0), 200);
        QVERIFY(window.errors.isEmpty());
    }

    void aFailedShutdownSaveIsShownAndWritesNoPosition() {
        MainWindow window(folder());
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("kestrune.dll")));
        window.form->shutdownSave();
        QCOMPARE(window.errors.size(), 1);
        QVERIFY(window.errors[0].contains(QStringLiteral("kestrune.dll")));
        QVERIFY(!QFile::exists(file("Setting.cfg")));
    }

    void errorsGoToTheStandardErrorBox() {
        MainWindow window(folder());
        window.form->setErrorReporter([&window](const QString& message) {
            kestrune::ui::showErrorBox(window.form.get(), message);
        });
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("kestrune.dll")));
        ModalCloser closer;
        window.form->AddTask();
        QVERIFY(closer.seen());
        QVERIFY(closer.text().startsWith(QStringLiteral("Cannot create file")));
        QVERIFY(closer.text().endsWith(QLatin1Char('.')));
    }
};

QTEST_MAIN(TestUnit1)
#include "test_unit1.moc"
