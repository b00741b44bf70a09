#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "main_window_fixture.h"
#include "run/auto/auto_runner.h"
#include "ui/auto_runs.h"
#include "ui/run_history_window.h"
#include "ui/run_report.h"
#include "ui/run_worker.h"
#include "ui/table_cells.h"

using kestrune::test::MainWindow;
using kestrune::ui::RunReport;

// The window's runs: on the worker thread, stopped between entries, previewed, undone.
class TestUnit1Runs : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return dir_->path() + QLatin1Char('/'); }
    QString path(const QString& name) const { return folder() + name; }

    // "Desktop Tidy" takes the *.txt of desk/ to box/ with the action given.
    void makeTask(MainWindow& window, int count, int action) {
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("desk")));
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("box")));
        for (int i = 0; i < count; ++i) {
            kestrune::test::writeBytes(path(QStringLiteral("desk/%1.txt").arg(i)), "content");
        }
        kestrune::SettingsFile& settings = window.form->settings();
        settings.writeString("Desktop Tidy", "s_folder", path("desk").toStdString());
        settings.writeString("Desktop Tidy", "t_folder", path("box").toStdString());
        settings.writeInteger("Desktop Tidy", "actions", action);
        settings.writeString("Desktop Tidy", "filters", "*.txt");
        window.form->selectNode(window.node("Desktop Tidy"));
    }
    int entries(const char* name) const {
        return static_cast<int>(
            QDir(path(QString::fromLatin1(name))).entryList(QDir::Files).size());
    }
    static RunReport* shown(TForm1& form, const char* name) {
        RunReport* found = nullptr;
        for (RunReport* each : form.findChildren<RunReport*>(QString::fromLatin1(name))) {
            if (each->isVisible()) found = each;
        }
        return found;
    }

    std::unique_ptr<QTemporaryDir> dir_;

  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    // The event loop goes on during a run; Cancel stops it between two entries, and the
    // report read back from the journal shows what was done and what was not.
    void aRunKeepsTheWindowAnsweringAndStopsBetweenEntries() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        makeTask(window, 400, 2);
        int ticksDuringRun = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ticksDuringRun += form.runGoing() ? 1 : 0; });
        ticker.start(0);
        form.RunSelected();
        QVERIFY(form.runGoing());
        QVERIFY(!form.taskMenuItems()[0]->isEnabled() && !form.taskMenuItems()[4]->isEnabled());
        while (form.runGoing() && form.runs().progress().done == 0) QTest::qWait(0);
        int asked = 0;
        form.setStopQuestion([&] { return ++asked, false; });
        QSignalSpy exits(&form, &TForm1::exitRequested);
        form.ExitProgram();  // answered No: the run goes on, the program stays
        QCOMPARE(asked, 1);
        QCOMPARE(exits.count(), 0);
        form.runs().cancelAll();
        QVERIFY(window.runsEnd());
        QVERIFY(ticksDuringRun > 0);
        QVERIFY(form.taskMenuItems()[0]->isEnabled());
        const int copied = entries("box");
        QVERIFY2(copied > 0 && copied < 400, qPrintable(QString::number(copied)));
        QVERIFY(form.lastRunResult().endsWith(QStringLiteral(", stopped")));

        form.ShowRunReport();
        RunReport* report = shown(form, "RunReport");
        QVERIFY(report != nullptr);
        const QAbstractItemModel& rows = *report->shownRows();
        QCOMPARE(rows.rowCount(), 400);
        int ok = 0;
        int notDone = 0;
        for (int row = 0; row < rows.rowCount(); ++row) {
            const QString status = rows.index(row, 3).data().toString();
            ok += status == QStringLiteral("ok") ? 1 : 0;
            notDone += status == QStringLiteral("not done") ? 1 : 0;
        }
        QCOMPARE(ok, copied);
        QCOMPARE(notDone, 400 - copied);
    }

    // Run carries out the plan shown; a planned entry gone since refuses the whole run.
    void previewRunsExactlyItsPlanOrRefuses() {
        for (const bool removeOne : {false, true}) {
            MainWindow window(folder());
            TForm1& form = *window.form;
            makeTask(window, 3, 1);
            form.findChild<QAction*>(QStringLiteral("PreviewIt2"))->trigger();
            QVERIFY(window.runsEnd());
            RunReport* preview = shown(form, "RunPreview");
            QVERIFY(preview != nullptr);
            QCOMPARE(preview->shownRows()->rowCount(), 3);
            QCOMPARE(preview->shownRows()->index(0, 3).data().toString(),
                     QStringLiteral("planned"));
            QCOMPARE(entries("desk"), 3);  // a preview touches nothing
            kestrune::test::writeBytes(path("desk/late.txt"), "not in the plan");
            if (removeOne) QVERIFY(QFile::remove(path("desk/1.txt")));
            preview->actionButton()->click();
            QVERIFY(window.runsEnd());
            if (removeOne) {
                QCOMPARE(window.errors.size(), 1);
                QVERIFY2(window.errors[0].contains(path("desk/1.txt")),
                         qPrintable(window.errors[0]));
                QCOMPARE(entries("box"), 0);
            } else {
                QVERIFY(window.errors.isEmpty());
                QCOMPARE(entries("box"), 3);
                QVERIFY(QFile::exists(path("desk/late.txt")));
            }
            QDir(path("desk")).removeRecursively();
            QDir(path("box")).removeRecursively();
        }
    }

    // The preview names what its walk passed over, and why, once asked to.
    void previewShowsPassedOverEntriesOnRequest() {
        MainWindow window(folder());
        TForm1& form = *window.form;
        makeTask(window, 2, 1);
        kestrune::test::writeBytes(path("desk/notes.md"), "not a txt");
        form.PreviewSelected();
        QVERIFY(window.runsEnd());
        RunReport* preview = shown(form, "RunPreview");
        QVERIFY(preview != nullptr);
        auto* passed = preview->findChild<QCheckBox*>(QStringLiteral("ShowPassedOver"));
        QVERIFY(passed != nullptr && passed->isEnabled() && !passed->isChecked());
        QCOMPARE(passed->text(), QStringLiteral("Show &passed-over entries (1)"));
        const QAbstractItemModel& rows = *preview->shownRows();
        QCOMPARE(rows.rowCount(), 2);
        passed->click();
        QCOMPARE(rows.rowCount(), 3);
        QCOMPARE(rows.index(2, 0).data().toString(), QStringLiteral("Pass"));
        QCOMPARE(rows.index(2, 1).data(kestrune::ui::kFullTextRole).toString(),
                 path("desk/notes.md"));
        QCOMPARE(rows.index(2, 3).data().toString(), QStringLiteral("passed over: extension"));
        preview->filter()->setText(QStringLiteral("notes"));
        QCOMPARE(rows.rowCount(), 1);
        // Run carries out the plan, never the entries passed over.
        preview->actionButton()->click();
        QVERIFY(window.runsEnd());
        QCOMPARE(entries("box"), 2);
        QVERIFY(QFile::exists(path("desk/notes.md")));
    }

    // Undo Last Run puts the moved entries back; the history shows both runs.
    void undoLastRunRestoresTheFolder() {
        kestrune::test::TrayLog tray;
        MainWindow window(folder(), &tray);
        TForm1& form = *window.form;
        makeTask(window, 4, 1);
        form.RunSelected();
        QVERIFY(window.runsEnd());
        QCOMPARE(entries("box"), 4);
        QCOMPARE(tray.notifications, QStringList{"Kestrune|Desktop Tidy: 4 done, 0 failed"});
        form.UndoLastRun();
        QVERIFY(window.runsEnd());
        QVERIFY2(window.errors.isEmpty(), qPrintable(window.errors.join('|')));
        QCOMPARE(entries("desk"), 4);
        QCOMPARE(entries("box"), 0);
        QCOMPARE(tray.tip, QStringLiteral("Kestrune \u2014 Undo Desktop Tidy: 4 done, 0 failed"));
        QVERIFY(shown(form, "RunReport") != nullptr);  // an undo always shows its report
        kestrune::test::TrayLog restartedTray;
        const MainWindow restarted(folder(), &restartedTray);  // the tip outlasts the session
        QCOMPARE(restartedTray.tip, tray.tip);

        form.ShowRunHistory();
        auto* history = form.findChild<kestrune::ui::RunHistoryWindow*>();
        QVERIFY(history != nullptr);
        const QTreeWidget& list = *history->list();
        QCOMPARE(list.topLevelItemCount(), 2);
        QCOMPARE(list.topLevelItem(0)->text(1), QStringLiteral("Undo Desktop Tidy"));
        QCOMPARE(list.topLevelItem(1)->text(2), QStringLiteral("undone"));
    }

    // The notification, the status bar, the report's header and the history's row tell the same
    // figures of a run with every kind of outcome.
    void everyViewGivesTheSameFigures() {
        kestrune::test::TrayLog tray;
        MainWindow window(folder(), &tray);
        TForm1& form = *window.form;
        makeTask(window, 1, 2);
        kestrune::test::writeBytes(path("desk/same.txt"), "same");
        kestrune::test::writeBytes(path("box/same.txt"), "same");
        kestrune::test::writeBytes(path("desk/coming.txt.part"), "half");
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("desk/Sub.txt")));
        kestrune::test::writeBytes(path("desk/Sub.txt/d.txt"), "d");
        form.settings().writeString("Desktop Tidy", "filters", "*.*");
        form.settings().writeInteger("Desktop Tidy", "skipsame", 1);
        form.RunSelected();
        QVERIFY(window.runsEnd());
        const QString figures = QStringLiteral("2 done, 0 failed, 2 left alone, 1 folder merged");
        QCOMPARE(tray.notifications,
                 QStringList{QStringLiteral("Kestrune|Desktop Tidy: ") + figures});
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Desktop Tidy: ") + figures);
        form.ShowRunReport();
        RunReport* report = shown(form, "RunReport");
        QVERIFY(report != nullptr);
        const QList<QLabel*> labels = report->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [&](const QLabel* label) { return label->text().contains(figures); }));
        form.ShowRunHistory();
        const QTreeWidgetItem& row =
            *form.findChild<kestrune::ui::RunHistoryWindow*>()->list()->topLevelItem(0);
        QCOMPARE(row.text(3) + row.text(4) + row.text(5) + row.text(6), QStringLiteral("2021"));
    }

    // The window's automatic runs are the core's, as kestrune-cli watch runs them: what came
    // while they were paused is taken when they come back, a loop that fails says so and
    // starts again, and a run Cancel dropped comes again later.
    void automaticRunsKeepWhatCalledForThem() {
        std::atomic<bool> failClock{false};  // outlives the window, whose loop reads it
        MainWindow window(folder());
        TForm1& form = *window.form;
        makeTask(window, 0, 1);
        form.settings().writeInteger("Desktop Tidy", "watch", 1);
        auto* automatic = form.findChild<kestrune::ui::AutoRuns*>();
        auto* item = form.findChild<QAction*>(QStringLiteral("RunTasksAutomatically1"));
        automatic->adjustOptions([&failClock](kestrune::AutoRunnerOptions& options) {
            // Longer than an automatic run's wait for a file that was just written.
            options.timing = {std::chrono::milliseconds(2500), std::chrono::milliseconds(3000),
                              std::chrono::milliseconds(2500)};
            options.clock = [&failClock] {
                if (failClock.exchange(false)) throw std::runtime_error("the clock is gone");
                return std::chrono::system_clock::now();
            };
        });
        item->trigger();
        QVERIFY(!automatic->active());
        kestrune::test::writeBytes(path("desk/paused.txt"), "p");
        item->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("box/paused.txt")), 10000);

        // The new file wakes the loop, whose next look at the clock fails; the loop that
        // starts again takes the file in its first, full run.
        // A run's result may follow in the same turn of the event loop: every message counts.
        QSignalSpy messages(form.statusBar(), &QStatusBar::messageChanged);
        failClock = true;
        kestrune::test::writeBytes(path("desk/after.txt"), "a");
        const auto told = [&messages] {
            return std::any_of(messages.begin(), messages.end(), [](const QList<QVariant>& m) {
                return m.at(0).toString().contains(QStringLiteral("the clock is gone"));
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(told(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("box/after.txt")), 15000);

        // The first run after the next start is cancelled as soon as it is asked for.
        item->trigger();
        kestrune::test::writeBytes(path("desk/dropped.txt"), "d");
        int cancelled = 0;
        connect(automatic, &kestrune::ui::AutoRuns::runDue, &form, [&] {
            if (cancelled++ == 0) form.runs().cancelAll();
        });
        item->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(cancelled == 1 && !form.runGoing(), 10000);
        QVERIFY(QFile::exists(path("desk/dropped.txt")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path("box/dropped.txt")), 15000);
        QCOMPARE(cancelled, 2);
        QVERIFY2(window.errors.isEmpty(), qPrintable(window.errors.join('|')));
    }
};

QTEST_MAIN(TestUnit1Runs)
#include "test_unit1_runs.moc"
