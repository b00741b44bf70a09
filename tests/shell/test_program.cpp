#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <future>

#include "shell/instance_channel.h"
#include "shell/program.h"
#include "shell/window_arguments.h"
#include "store/settings_file.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/window_test_support.h"

using kestrune::shell::Program;
using kestrune::shell::ProgramOptions;
using kestrune::test::ModalCloser;
using kestrune::test::readBytes;

// The program as main() runs it, in a scratch program folder: start-up, the tray icon and its
// menu, hiding, and every way of ending with the shutdown save.
class TestProgram : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QString file(const char* name) const { return folder() + QString::fromLatin1(name); }

    ProgramOptions options(bool trayAvailable) {
        ProgramOptions result;
        result.programFolder = folder();
        result.trayAvailable = [trayAvailable] { return trayAvailable; };
        result.reportStartFailure = [this](const QString& message) { failures_ << message; };
        return result;
    }

    QAction* trayItem(Program& program, const char* name) {
        return program.trayIcon()->menu().findChild<QAction*>(QString::fromLatin1(name));
    }

    // Runs the event loop with `during` queued first; fails the test if it does not end.
    int runWhile(Program& program, const std::function<void()>& during) {
        QTimer::singleShot(0, during);
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(10000);
        return program.run();
    }

    void verifyBothFilesWritten(const QPoint& position) {
        QCOMPARE(readBytes(file("kestrune.dll")), QByteArray("All Tasks\r\n\tDesktop Tidy\r\n"));
        kestrune::SettingsFile settings(file("Setting.cfg").toStdString());
        QCOMPARE(settings.readInteger("Settings", "frmx", -1), position.x());
        QCOMPARE(settings.readInteger("Settings", "frmy", -1), position.y());
    }

    std::unique_ptr<QTemporaryDir> scratch_;
    QStringList failures_;

  private slots:
    void init() {
        scratch_ = std::make_unique<QTemporaryDir>();
        failures_.clear();
    }
    void cleanup() { scratch_.reset(); }

    void firstStartShowsTheDefaultTreeAndTrayExitSavesBoth() {
        Program program(options(true));
        QVERIFY(program.start());
        TForm1* window = program.mainWindow();
        QVERIFY(program.editor()->isHidden());
        QVERIFY(program.about()->isHidden());
        QVERIFY(program.trayIcon()->icon().isVisible());
        QCOMPARE(program.trayIcon()->icon().toolTip(), QStringLiteral("Kestrune"));
        QVERIFY(!program.trayIcon()->icon().icon().isNull());
        QString status;
        const int code = runWhile(program, [&] {
            status = window->statusText();
            trayItem(program, "Exit2")->trigger();
        });
        QCOMPARE(code, 0);
        QCOMPARE(status, QStringLiteral(" You Have 1 Task"));
        QVERIFY(!program.trayIcon()->icon().isVisible());
        verifyBothFilesWritten(QPoint(230, 171));
    }

    void aBadTreeFileEndsStartUpAndWritesNothing() {
        kestrune::test::writeBytes(file("kestrune.dll"), "A\r\n\t\tB\r\n");
        Program program(options(true));
        QVERIFY(!program.start());
        QCOMPARE(failures_.size(), 1);
        QVERIFY(failures_[0].contains(QStringLiteral("Invalid level (2)")));
        QVERIFY(program.mainWindow() == nullptr);
        QCOMPARE(readBytes(file("kestrune.dll")), QByteArray("A\r\n\t\tB\r\n"));
        QVERIFY(!QFile::exists(file("Setting.cfg")));
    }

    void closingHidesAndTheTrayIconBringsTheWindowBack() {
        Program program(options(true));
        QVERIFY(program.start());
        TForm1* window = program.mainWindow();
        bool hidden = false;
        bool shownAgain = false;
        bool shownByMenu = false;
        const int code = runWhile(program, [&] {
            window->close();
            window->close();
            hidden = window->isHidden();
            emit program.trayIcon()->icon().activated(QSystemTrayIcon::Trigger);
            shownAgain = window->isVisible();
            window->close();
            trayItem(program, "showit")->trigger();
            shownByMenu = window->isVisible();
            window->close();
            trayItem(program, "Exit2")->trigger();
        });
        QCOMPARE(code, 0);
        QVERIFY(hidden);
        QVERIFY(shownAgain);
        QVERIFY(shownByMenu);
        verifyBothFilesWritten(QPoint(230, 171));
    }

    // A later start, which runs no second copy, asks this one to show its hidden window; a
    // socket left by a killed copy is taken over.
    void aLaterStartShowsTheHiddenWindow() {
        ProgramOptions listening = options(true);
        listening.instanceChannel = folder() + QStringLiteral("kestrune.socket");
        kestrune::test::writeBytes(listening.instanceChannel, "left by a killed copy");
        bool asked = false;
        bool shown = false;
        {
            Program program(listening);
            QVERIFY(program.start());
            TForm1* window = program.mainWindow();
            const int code = runWhile(program, [&] {
                window->close();
                QVERIFY(window->isHidden());
                // The later start is another process; here a thread waits for the answer.
                auto answer = std::async(std::launch::async, [&listening] {
                    return kestrune::shell::askRunningCopyToShow(listening.instanceChannel,
                                                                 std::chrono::seconds(5));
                });
                QTRY_VERIFY(window->isVisible());
                shown = true;
                QTRY_VERIFY(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
                asked = answer.get();
                trayItem(program, "Exit2")->trigger();
            });
            QCOMPARE(code, 0);
        }
        QVERIFY(asked);
        QVERIFY(shown);
        // With no copy listening, the asking start gives up.
        QVERIFY(!kestrune::shell::askRunningCopyToShow(listening.instanceChannel,
                                                       std::chrono::milliseconds(0)));
    }

    // Started at login with --hidden: only the tray icon while a notification area is there
    // or comes up soon (the login may start it after us); otherwise the window.
    void startHiddenShowsOnlyTheTrayIconWhereThereIsOne() {
        const struct {
            int availableFromQuery;  // -1: never
            bool shown;
        } cases[] = {{0, false}, {2, false}, {-1, true}};
        for (const auto& each : cases) {
            auto queries = std::make_shared<int>(0);
            ProgramOptions hidden = options(true);
            hidden.trayAvailable = [queries, from = each.availableFromQuery] {
                return from >= 0 && (*queries)++ >= from;
            };
            hidden.startHidden = true;
            hidden.trayWait = std::chrono::milliseconds(1000);
            Program program(std::move(hidden));
            QVERIFY(program.start());
            bool visibleAtOnce = true;
            bool visibleLater = false;
            QCOMPARE(runWhile(program,
                              [&] {
                                  visibleAtOnce = program.mainWindow()->isVisible();
                                  QTimer::singleShot(1300, [&] {
                                      visibleLater = program.mainWindow()->isVisible();
                                      program.mainWindow()->ExitProgram();
                                  });
                              }),
                     0);
            QVERIFY(!visibleAtOnce);
            QCOMPARE(visibleLater, each.shown);
        }
    }

    void readsOnlyItsOwnOptions() {
        using kestrune::shell::WindowArguments;
        using Action = WindowArguments::Action;
        const struct {
            std::vector<std::string> arguments;
            Action action;
            bool hidden;
        } cases[] = {
            {{}, Action::Run, false},
            {{"--hidden"}, Action::Run, true},
            {{"-session", "1234abcd", "--hidden"}, Action::Run, true},
            {{"--hidden", "--version"}, Action::Version, true},
            {{"-h"}, Action::Help, false},
            {{"--help", "--bogus"}, Action::Help, false},
            {{"--hiden"}, Action::Refuse, false},
        };
        for (const auto& each : cases) {
            const WindowArguments read = kestrune::shell::readWindowArguments(each.arguments);
            QCOMPARE(read.action, each.action);
            QCOMPARE(read.hidden, each.hidden);
        }
        QVERIFY(kestrune::shell::readWindowArguments({"--hiden"}).error.find("--hiden") !=
                std::string::npos);
    }

    // Where no notification area exists, a hidden window could never come back.
    void withoutANotificationAreaClosingEndsTheProgram() {
        Program program(options(false));
        QVERIFY(program.start());
        const int code = runWhile(program, [&] { program.mainWindow()->close(); });
        QCOMPARE(code, 0);
        verifyBothFilesWritten(QPoint(230, 171));
    }

    void aTerminationSignalRunsTheShutdownSave() {
        for (const int signalNumber : {SIGTERM, SIGINT}) {
            init();
            Program program(options(true));
            QVERIFY(program.start());
            program.mainWindow()->move(310, 205);
            const int code = runWhile(program, [&] {
                program.mainWindow()->hide();
                std::raise(signalNumber);
            });
            QCOMPARE(code, 0);
            verifyBothFilesWritten(QPoint(310, 205));
        }
    }

    // Log-off asks the application to quit: the program ends through Exit and its save.
    void theEndOfTheSessionRunsTheShutdownSave() {
        Program program(options(true));
        QVERIFY(program.start());
        const int code = runWhile(program, [&] {
            program.mainWindow()->close();
            QEvent quit(QEvent::Quit);
            QCoreApplication::sendEvent(qApp, &quit);
        });
        QCOMPARE(code, 0);
        QVERIFY(!program.trayIcon()->icon().isVisible());
        verifyBothFilesWritten(QPoint(230, 171));
    }

    void trayMenuHoldsItsItemsInOrder() {
        Program program(options(true));
        QVERIFY(program.start());
        QMenu& menu = program.trayIcon()->menu();
        QCOMPARE(menu.objectName(), QStringLiteral("PopupMenu2"));
        QCOMPARE(program.trayIcon()->icon().contextMenu(), &menu);
        QStringList items;
        for (const QAction* item : menu.actions()) {
            items << item->objectName() + QLatin1Char('=') +
                         (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(items,
                 QStringList({"showit=&Show Kestrune", "Run1=&Run", "UndoLastRun2=&Undo Last Run",
                              "N4=-", "Help3=&Help", "About2=&About",
                              "CheckVersion2=Check &Version", "N5=-", "Exit2=E&xit"}));

        // The Run submenu follows the tree each time the menu opens, and runs the task chosen.
        TForm1& window = *program.mainWindow();
        window.selectNode(window.tree().roots().front()->children.front().get());
        window.AddSubtask();  // "New Task 2" below "Desktop Tidy"
        emit menu.aboutToShow();
        QMenu* run = menu.findChild<QMenu*>(QStringLiteral("Run1"));
        QCOMPARE(run->actions().size(), 1);
        QMenu* group = run->actions().front()->menu();
        QCOMPARE(group->title(), QStringLiteral("All Tasks"));
        QStringList tasks;
        for (const QAction* task : group->actions()) tasks << task->text();
        QCOMPARE(tasks, QStringList({"Desktop Tidy", "  New Task 2"}));
        ModalCloser closer;
        group->actions().front()->trigger();
        QTRY_VERIFY(closer.seen());
        QVERIFY(closer.text().contains(QStringLiteral("\u201cDesktop Tidy\u201d has no settings")));
    }

    void trayMenuRunsTheCommands() {
        Program program(options(true));
        QVERIFY(program.start());
        QList<QUrl> opened;
        program.mainWindow()->setLinkOpener([&](const QUrl& url, const auto&) { opened << url; });
        trayItem(program, "Help3")->trigger();
        trayItem(program, "CheckVersion2")->trigger();
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0].toLocalFile().endsWith(QStringLiteral("/help/index.html")));
        QVERIFY(opened[1].path().endsWith(QStringLiteral("/vcheck.php")));
        ModalCloser closer;
        trayItem(program, "About2")->trigger();
        QCOMPARE(closer.title(), QStringLiteral("About Kestrune"));
        QSignalSpy exits(program.mainWindow(), &TForm1::exitRequested);
        trayItem(program, "Exit2")->trigger();
        QCOMPARE(exits.size(), 1);
        QVERIFY(!program.trayIcon()->icon().isVisible());
    }
};

QTEST_MAIN(TestProgram)
#include "test_program.moc"
