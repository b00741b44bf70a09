#include <QAction>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>

#include "main_window_fixture.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "ui/program_icons.h"
#include "ui/run_report.h"

using kestrune::TreeNode;
using kestrune::test::MainWindow;

// The task pane below the tree and the tree's marks: what a task does, how it last ran, when
// it runs by itself, and which tasks have no settings or run by themselves.
class TestUnit1Pane : public QObject {
    Q_OBJECT

  private:
    QString folder() const { return scratch_->path() + QStringLiteral("/"); }
    QString path(const char* name) const { return folder() + QLatin1String(name); }

    // Records written before the window starts, as an earlier session left them.
    void writeRecords(const std::string& records) const {
        kestrune::test::writeBytes(
            QString::fromStdString(kestrune::settingsPath(folder().toStdString())),
            QByteArray::fromStdString(records));
    }
    static QString line(const TForm1& form, const char* name) {
        return form.findChild<QLabel*>(QLatin1String(name))->text();
    }

    std::unique_ptr<QTemporaryDir> scratch_;

  private slots:
    void init() { scratch_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() { scratch_.reset(); }

    void paneTellsWhatTheTaskDoesHowItLastRanAndWhenItRunsNext() {
        QVERIFY(QDir(folder()).mkpath(QStringLiteral("desk")));
        kestrune::test::writeBytes(path("desk/a.txt"), "a");
        writeRecords("[Desktop Tidy]\ns_folder=" + path("desk").toStdString() +
                     "\nt_folder=" + path("box").toStdString() +
                     "\nactions=2\nsublevel=1\nfilters=*.txt\nevery=30\n");
        MainWindow window(folder());
        TForm1& form = *window.form;
        QVERIFY(line(form, "PaneSentence").startsWith(QStringLiteral("Select a task")));
        form.selectNode(window.node("Desktop Tidy"));
        QCOMPARE(line(form, "PaneTitle"), QStringLiteral("Desktop Tidy"));
        QCOMPARE(line(form, "PaneSentence"),
                 QStringLiteral("Copies *.txt from %1 to %2.").arg(path("desk"), path("box")));
        QCOMPARE(line(form, "PaneLastRun"), QStringLiteral("Not run yet"));
        // The automatic runs' loop tells its plan once it has read the task.
        QTRY_VERIFY2(line(form, "PaneNextRun")
                         .startsWith(QStringLiteral("Runs by itself every 30 minutes, next ")),
                     qPrintable(line(form, "PaneNextRun")));

        form.RunSelected();
        QVERIFY(window.runsEnd());
        QTRY_VERIFY(line(form, "PaneLastRun").startsWith(QStringLiteral("Last run ")));
        const QString lastRun = line(form, "PaneLastRun");
        QVERIFY2(lastRun.contains(QRegularExpression(
                     QStringLiteral("^Last run \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d: 1 done, "
                                    "0 failed \\(<a href=\"[^\"]+\">report</a>\\)$"))),
                 qPrintable(lastRun));
        const QString journal =
            QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).match(lastRun).captured(1);
        auto* lastRunLine = form.findChild<QLabel*>(QStringLiteral("PaneLastRun"));
        emit lastRunLine->linkActivated(journal);
        QVERIFY(form.findChild<kestrune::ui::RunReport*>(QStringLiteral("RunReport")) != nullptr);

        form.findChild<QAction*>(QStringLiteral("RunTasksAutomatically1"))->trigger();
        QCOMPARE(
            line(form, "PaneNextRun"),
            QStringLiteral("Runs by itself: paused (Options > Run Tasks Automatically is off)"));

        form.selectNode(window.node("All Tasks"));
        QCOMPARE(line(form, "PaneSentence"), QStringLiteral("A group of 1 task."));
    }

    // Greyed: a task without settings, until the editor saves them. Marked: a task that runs
    // by itself, by what it runs on.
    void treeGreysTasksWithoutSettingsAndMarksThoseThatRunByThemselves() {
        writeRecords(
            "[Desktop Tidy]\ns_folder=/home/ann\nactions=3\nfilters=*.tmp\nwatch=1\n"
            "[Hourly]\ns_folder=/home/ann\nactions=3\nfilters=*.tmp\nevery=60\n");
        MainWindow window(folder());
        TForm1& form = *window.form;
        form.selectNode(window.node("Desktop Tidy"));
        form.AddTask();
        form.tree().rename(form.selectedNode(), "Hourly");
        form.selectNode(window.node("Desktop Tidy"));
        form.AddTask();
        const std::string addedName = form.selectedNode()->text;
        const auto* view = form.findChild<QTreeView*>(QStringLiteral("TreeView1"));
        const QAbstractItemModel& model = *view->model();
        const QModelIndex all = model.index(0, 0);
        const auto indexOf = [&](const char* name) {
            for (int row = 0; row < model.rowCount(all); ++row) {
                const QModelIndex index = model.index(row, 0, all);
                if (index.data().toString() == QLatin1String(name)) return index;
            }
            return QModelIndex();
        };
        const auto markOf = [](const QModelIndex& index) {
            return index.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
        };
        using kestrune::ui::TaskMark;
        QCOMPARE(markOf(indexOf("Desktop Tidy")),
                 kestrune::ui::taskMark(TaskMark::Watches).pixmap(16).toImage());
        QCOMPARE(markOf(indexOf("Hourly")),
                 kestrune::ui::taskMark(TaskMark::AtIntervals).pixmap(16).toImage());
        QCOMPARE(indexOf("Hourly").data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Runs by itself every 60 minutes"));
        const QModelIndex added = indexOf(addedName.c_str());
        QCOMPARE(markOf(added), kestrune::ui::taskMark(TaskMark::None).pixmap(16).toImage());
        QVERIFY(added.data(Qt::ForegroundRole).isValid());
        QVERIFY(!indexOf("Hourly").data(Qt::ForegroundRole).isValid());
        QVERIFY(!all.data(Qt::ForegroundRole).isValid());
        QVERIFY(line(form, "PaneSentence").startsWith(QStringLiteral("No settings yet")));

        form.selectNode(window.node(addedName));
        const kestrune::test::ModalCloser closer;  // closing the editor saves
        form.EditSelected();
        QVERIFY(closer.seen());
        QTRY_VERIFY(!indexOf(addedName.c_str()).data(Qt::ForegroundRole).isValid());
        QVERIFY(line(form, "PaneSentence").startsWith(QStringLiteral("Does nothing yet")));
    }
};

QTEST_MAIN(TestUnit1Pane)
#include "test_unit1_pane.moc"
