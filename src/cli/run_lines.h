#pragma once

#include <string>
#include <string_view>

#include "run/execute/execution_observer.h"
#include "run/plan/run_plan.h"

namespace kestrune::cli {

// Writes a run's lines: one per step, a `folder` line per folder that could not be listed.
// The lines gather in a buffer of its own that goes to the output in large pieces: a preview
// writes a hundred thousand lines, and a stream write per line costs more than the line.
class LinePrinter {
  public:
    void step(const PlanStep& step, StepStatus status, const std::string& target,
              const std::string& error);
    void folder(const FolderProblem& problem);
    // An entry the walk passed over, and the first condition it failed.
    void passed(const std::string& path, std::string_view reason);
    // Writes out what is gathered. A run's line goes out at once, so that the output of a
    // killed run names every entry it did; a preview's lines go out at the end of its task,
    // before anything else is written.
    void flush();

  private:
    static constexpr std::size_t kPiece = 64 * 1024;

    void plainStep(const PlanStep& step, StepStatus status, const std::string& target);
    void end(StepStatus status, const std::string& error);
    void write();

    std::string lines_;
};

// Prints each step as soon as it is done.
class StepPrinter final : public ExecutionObserver {
  public:
    StepPrinter(const RunPlan& plan, LinePrinter& lines) : plan_(plan), lines_(lines) {}

    bool stepDone(std::size_t index, const StepResult& result) override {
        lines_.step(plan_.steps[index], result.status, result.target, result.error);
        lines_.flush();
        return true;
    }

  private:
    const RunPlan& plan_;
    LinePrinter& lines_;
};

}  // namespace kestrune::cli
