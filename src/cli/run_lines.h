#pragma once

#include <chrono>
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
    LinePrinter();

    void step(const PlanStep& step, StepStatus status, const std::string& target,
              const std::string& error);
    void folder(const FolderProblem& problem);
    // An entry the walk passed over, and the first condition it failed.
    void passed(const std::string& path, std::string_view reason);
    // A line made elsewhere, with its line feed.
    void text(std::string_view line);
    // Writes out what is gathered. A preview's lines go out at the end of its task, before
    // anything else is written.
    void flush();
    // Writes out a run's lines as it goes: to a terminal at once, as somebody reads them;
    // to a pipe or a file in pieces, once a piece is full or kLongestWait has passed since
    // the last write, so that a reader learns of each entry that late at most, or when the
    // step after it is done. A write per line would cost more than a rename.
    void flushWhenDue();

  private:
    static constexpr std::size_t kPiece = 64 * 1024;
    static constexpr std::chrono::milliseconds kLongestWait{100};

    void plainStep(const PlanStep& step, StepStatus status, const std::string& target);
    void end(StepStatus status, const std::string& error);
    void write();

    std::string lines_;
    const bool terminal_;
    std::chrono::steady_clock::time_point written_;
};

// Prints each step as it is done.
class StepPrinter final : public ExecutionObserver {
  public:
    StepPrinter(const RunPlan& plan, LinePrinter& lines) : plan_(plan), lines_(lines) {}

    void stepStarted(std::size_t /*index*/) override { lines_.flushWhenDue(); }
    bool stepDone(std::size_t index, const StepResult& result) override {
        lines_.step(plan_.steps[index], result.status, result.target, result.error);
        lines_.flushWhenDue();
        return true;
    }

  private:
    const RunPlan& plan_;
    LinePrinter& lines_;
};

}  // namespace kestrune::cli
