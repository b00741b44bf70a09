// The tables of runs: what their columns show at the first size and as the window grows, and
// what a copy and a saved CSV take.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <ctime>

#include "run/plan/task_record.h"
#include "ui/run_history_window.h"
#include "ui/run_report.h"
#include "ui/table_cells.h"
#include "window_test_support.h"

using kestrune::ui::ReportRows;
using kestrune::ui::RunReport;

namespace {

enum Column { ActionColumn, SourceColumn, TargetColumn, StatusColumn };

const QString kDeep =
    QStringLiteral("2026/archive/scans/very/deep/folder/structure/quarterly-report-final.pdf");

// A run of four entries read from its journal, the failed one first.
ReportRows rows() {
    auto journal = std::make_shared<kestrune::JournalContent>();
    const auto step = [&journal](kestrune::Action action, const std::string& source,
                                 const std::string& target, kestrune::StepStatus status,
                                 const char* error) {
        kestrune::PlanStep planned;
        planned.action = action;
        planned.source = source;
        planned.target = target;
        journal->outcomes.push_back({journal->plan.steps.size(), {status, error, target, {}}});
        journal->plan.steps.push_back(planned);
    };
    const std::string deep = kDeep.toStdString();
    using kestrune::Action;
    using kestrune::StepStatus;
    step(Action::Move, "/home/ann/Downloads/locked.pdf", "/home/ann/Papers/locked.pdf",
         StepStatus::Failed, "Permission denied");
    step(Action::Move, "/home/ann/Downloads/" + deep, "/home/ann/Papers/" + deep, StepStatus::Done,
         "");
    step(Action::Move, "/home/ann/Downloads/new\nname.pdf", "/home/ann/Papers/new\nname.pdf",
         StepStatus::Done, "");
    step(Action::Copy, "/elsewhere/a,b \"name\".pdf", "/home/ann/Papers/a,b \"name\".pdf",
         StepStatus::Done, "");
    return ReportRows(std::move(journal));
}

std::unique_ptr<RunReport> shownReport() {
    auto report = std::make_unique<RunReport>(RunReport::Mode::Report, QStringLiteral("Papers"),
                                              QStringLiteral("A run"), rows());
    kestrune::TaskRecord record;
    record.sourceFolder = "/home/ann/Downloads";
    record.targetFolder = "/home/ann/Papers/";
    record.action = 1;
    report->setTaskFolders(record);
    report->show();
    return report;
}

}  // namespace

class TestRunTables : public QObject {
    Q_OBJECT

  private slots:
    // Paths below the task's folders, whole in their tooltips, control characters escaped;
    // the path columns share the width as the window grows, the status of a failure shows
    // whole and a long path keeps its file name in sight, at the first size and a larger one.
    void pathColumnsShareTheWidthAndKeepTheirFileNames() {
        const auto report = shownReport();
        QVERIFY(QTest::qWaitForWindowExposed(report.get()));
        const QAbstractItemModel& shown = *report->shownRows();
        QCOMPARE(shown.index(1, SourceColumn).data().toString(), kDeep);
        QCOMPARE(shown.index(1, TargetColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("/home/ann/Papers/") + kDeep);
        QCOMPARE(shown.index(2, SourceColumn).data().toString(), QStringLiteral("new\\nname.pdf"));
        QCOMPARE(shown.index(3, SourceColumn).data().toString(),
                 QStringLiteral("/elsewhere/a,b \"name\".pdf"));  // not below the source
        QVERIFY(report->cells().keepsFileNames(SourceColumn));
        QVERIFY(report->cells().keepsFileNames(TargetColumn));
        QVERIFY(!report->cells().keepsFileNames(StatusColumn));

        QHeaderView* header = report->view()->header();
        const QFontMetrics metrics(report->view()->font());
        int narrower = 0;
        for (const QSize size : {report->size(), QSize(1200, 500)}) {
            report->resize(size);
            const QWidget* viewport = report->view()->viewport();
            QTRY_COMPARE(header->length(), viewport->width());  // every column in sight
            QVERIFY(std::abs(header->sectionSize(SourceColumn) -
                             header->sectionSize(TargetColumn)) <= 1);
            QVERIFY(header->sectionSize(SourceColumn) > narrower);
            narrower = header->sectionSize(SourceColumn);
            QVERIFY(header->sectionSize(StatusColumn) >
                    metrics.horizontalAdvance(QStringLiteral("failed: Permission denied")));
            const QString cut = kestrune::ui::elidedPath(kDeep, metrics, narrower - 8);
            QVERIFY2(cut.endsWith(QStringLiteral("/quarterly-report-final.pdf")), qPrintable(cut));
            QVERIFY(metrics.horizontalAdvance(cut) <= narrower - 8);
        }
        const QString longName = QStringLiteral("/a/") + QString(80, QLatin1Char('x')) + ".pdf";
        QVERIFY(kestrune::ui::elidedPath(longName, metrics, 100).endsWith(QStringLiteral("x.pdf")));
    }

    void historyShowsEveryColumnAtItsFirstSizeInLocalTime() {
        std::vector<kestrune::HistoryEntry> runs(2);
        runs[0].journal.started = "2026-12-09T11:47:15Z";
        runs[0].journal.plan.task = "Papers\nold";
        runs[0].journal.figures.done = 12;
        runs[0].journal.figures.failed = 3;
        runs[0].state = kestrune::RunState::PartlyUndone;
        runs[1].path = "/state/history/20261209T101010.000000Z.journal";
        runs[1].problem = "Cannot open it";
        kestrune::ui::RunHistoryWindow window(runs, [](const std::string&) {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QTreeWidget& list = *window.list();
        QTRY_VERIFY(list.header()->length() <= list.viewport()->width());
        QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("2026-12-09 06:47:15"));
        QCOMPARE(list.topLevelItem(0)->text(1), QStringLiteral("Papers\\nold"));
        QVERIFY(list.topLevelItem(1)->text(1).endsWith(QStringLiteral(": Cannot open it")));
    }

    // A copy takes the selected rows whole, escaped as the command line escapes; the CSV the
    // rows the filter leaves, quoted where a field needs it.
    void rowsCopyAsLinesAndSaveAsCsv() {
        const auto report = shownReport();
        QTreeView& view = *report->view();
        const QAbstractItemModel& shown = *report->shownRows();
        view.selectionModel()->select(shown.index(3, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->select(shown.index(2, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.findChild<QAction*>(QStringLiteral("CopyRows"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Move\t/home/ann/Downloads/new\\nname.pdf\t"
                                "/home/ann/Papers/new\\nname.pdf\tok\n"
                                "Copy\t/elsewhere/a,b \"name\".pdf\t"
                                "/home/ann/Papers/a,b \"name\".pdf\tok\n"));

        const QTemporaryDir scratch;
        const QString saved = scratch.filePath(QStringLiteral("report.csv"));
        report->setFileChooser([&](QWidget*, const QString&) { return saved; });
        report->filter()->setText(QStringLiteral("name"));
        report->findChild<QPushButton*>(QStringLiteral("SaveCsv"))->click();
        QCOMPARE(kestrune::test::readBytes(saved),
                 QByteArray("Action,Source,Target,Status\r\n"
                            "Move,\"/home/ann/Downloads/new\nname.pdf\","
                            "\"/home/ann/Papers/new\nname.pdf\",ok\r\n"
                            "Copy,\"/elsewhere/a,b \"\"name\"\".pdf\","
                            "\"/home/ann/Papers/a,b \"\"name\"\".pdf\",ok\r\n"));
    }
};

// In New York's time, five hours behind the journals' UTC in December.
int main(int argc, char** argv) {
    qputenv("TZ", "America/New_York");
    tzset();
    QApplication application(argc, argv);
    TestRunTables test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_run_tables.moc"
