#include "ui/run_problems.h"

#include <QStringList>

#include "run/task_run.h"
#include "ui/error_box.h"

namespace kestrune::ui {

namespace {

// Enough to see what went wrong without a box taller than the screen.
constexpr std::size_t kFailuresShown = 3;

QString failedEntries(const RunReport& report) {
    QStringList lines{QStringLiteral("Task \"%1\": %2 of %3 entries failed.")
                          .arg(QString::fromStdString(report.task))
                          .arg(report.failed)
                          .arg(report.entries.size())};
    std::size_t shown = 0;
    for (const EntryResult& entry : report.entries) {
        if (entry.ok) continue;
        if (shown++ == kFailuresShown) break;
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(entry.source),
                                              QString::fromStdString(entry.error));
    }
    if (report.failed > kFailuresShown) {
        lines << QStringLiteral("and %1 more.").arg(report.failed - kFailuresShown);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString runProblem(const RunReport& report) {
    if (!report.error.empty()) return withFullStop(QString::fromStdString(report.error));
    if (report.failed > 0) return failedEntries(report);
    return {};
}

}  // namespace kestrune::ui
