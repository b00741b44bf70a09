#include "ui/run_problems.h"

#include <QStringList>
#include <vector>

#include "run/task_run.h"
#include "ui/error_box.h"

namespace kestrune::ui {

namespace {

// Enough to see what went wrong without a box taller than the screen.
constexpr std::size_t kFailuresShown = 3;

// Keeps the failed entries that the box shows; the run itself keeps only its counts, so a
// run of many entries takes no memory for the entries done.
class ShownFailures final : public RunObserver {
  public:
    bool entryDone(const EntryResult& entry) override {
        if (!entry.ok && entries.size() < kFailuresShown) entries.push_back(entry);
        return true;
    }
    std::vector<EntryResult> entries;
};

QString failedEntries(const RunReport& report, const ShownFailures& failures) {
    QStringList lines{QStringLiteral("Task \"%1\": %2 of %3 entries failed.")
                          .arg(QString::fromStdString(report.task))
                          .arg(report.failed)
                          .arg(report.succeeded + report.failed)};
    for (const EntryResult& entry : failures.entries) {
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(entry.source),
                                              QString::fromStdString(entry.error));
    }
    if (report.failed > kFailuresShown) {
        lines << QStringLiteral("and %1 more.").arg(report.failed - kFailuresShown);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString runTaskProblems(const SettingsFile& settings, const std::string& task) {
    ShownFailures failures;
    RunOptions options;
    options.observer = &failures;
    options.keepEntries = false;
    const RunReport report = runTask(settings, task, options);
    if (!report.error.empty()) return withFullStop(QString::fromStdString(report.error));
    if (report.failed > 0) return failedEntries(report, failures);
    return {};
}

}  // namespace kestrune::ui
