#include "ui/run_problems.h"

#include <QStringList>
#include <vector>

#include "run/plan_executor.h"
#include "run/run_planner.h"
#include "ui/error_box.h"

namespace kestrune::ui {

namespace {

// Enough to see what went wrong without a box taller than the screen.
constexpr std::size_t kFailuresShown = 3;

struct Failure {
    std::string path;
    std::string reason;
};

// Keeps the failures that the box shows; the run itself keeps only its counts, so a run of
// many entries takes no memory for the entries done.
class ShownFailures final : public ExecutionObserver {
  public:
    explicit ShownFailures(const RunPlan& plan) : plan_(plan) {
        for (const FolderProblem& problem : plan.unreadable) note(problem.folder, problem.reason);
    }
    bool stepDone(std::size_t index, const StepResult& result) override {
        if (result.status == StepStatus::Failed) note(plan_.steps[index].source, result.error);
        return true;
    }
    std::vector<Failure> failures;

  private:
    void note(const std::string& path, const std::string& reason) {
        if (failures.size() < kFailuresShown) failures.push_back({path, reason});
    }
    const RunPlan& plan_;
};

QString failedEntries(const RunPlan& plan, const RunTotals& totals,
                      const ShownFailures& shown) {
    QStringList lines{QStringLiteral("Task \"%1\": %2 of %3 entries failed.")
                          .arg(QString::fromStdString(plan.task))
                          .arg(totals.failed)
                          .arg(totals.succeeded + totals.failed)};
    for (const Failure& failure : shown.failures) {
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(failure.path),
                                              QString::fromStdString(failure.reason));
    }
    if (totals.failed > kFailuresShown) {
        lines << QStringLiteral("and %1 more.").arg(totals.failed - kFailuresShown);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString runTaskProblems(const SettingsFile& settings, const std::string& task) {
    const RunPlan plan = planTask(settings, task);
    ShownFailures shown(plan);
    ExecuteOptions options;
    options.observer = &shown;
    const RunTotals totals = executePlan(plan, options);
    if (!totals.error.empty()) return withFullStop(QString::fromStdString(totals.error));
    if (totals.failed > 0) return failedEntries(plan, totals, shown);
    return {};
}

}  // namespace kestrune::ui
