#include <atomic>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "cli/run_lines.h"
#include "platform/stop_requests.h"
#include "run/history/journal.h"
#include "run/history/run_history.h"
#include "run/service/run_service.h"

namespace kestrune::cli {

namespace {

// One line per step of the undo: where the entry was, where it goes back to, and how it went.
class UndoPrinter final : public RunView {
  public:
    void planned(const RunPlan& plan) override {
        plan_ = &plan;
        std::cout << "undoing\t" << field(plan.undoes) << '\n';
    }
    bool stepDone(std::size_t index, const StepResult& result) override {
        const PlanStep& step = plan_->steps[index];
        std::string line = "undo\t";
        appendField(line, step.source);
        line += '\t';
        // A removed copy goes nowhere.
        if (step.action != Action::RemoveCopy) appendField(line, step.target);
        line += '\t';
        if (result.status == StepStatus::Failed) {
            line += "failed: ";
            appendField(line, result.error);
        } else {
            line += "ok";
        }
        line += '\n';
        lines_.text(line);
        lines_.flushWhenDue();
        return true;
    }
    void stepStarted(std::size_t /*index*/) override { lines_.flushWhenDue(); }
    void ended() { lines_.flush(); }

  private:
    const RunPlan* plan_ = nullptr;
    LinePrinter lines_;
};

std::atomic<bool> stopAsked{false};

void askToStop() {
    stopAsked.store(true);
}

}  // namespace

void printRecovery(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) std::cerr << "recovery: " << line << '\n';
}

// ID STARTED TASK DONE FAILED STATE LEFT MERGED: the figures every view shows, in the
// fields scripts read; a journal that cannot be read is named once, on stderr.
int historyCommand(const std::string& folder) {
    for (const HistoryEntry& entry : readHistory(folder)) {
        if (entry.state == RunState::Unreadable) std::cerr << entry.problem << '\n';
        const JournalContent& run = entry.journal;
        std::string line;
        for (const std::string& text :
             {entry.id, run.started, run.plan.task, std::to_string(run.figures.done),
              std::to_string(run.figures.failed), std::string(runStateWord(entry.state)),
              std::to_string(run.figures.leftAlone), std::to_string(run.figures.merged)}) {
            if (!line.empty()) line += '\t';
            appendField(line, text);
        }
        std::cout << line << '\n';
    }
    return kOk;
}

int undoCommand(const std::string& folder, const std::string& id) {
    keepRunningWhenOutputCloses();
    const StopRequests stopRequests(askToStop);
    RunService service(folder);
    UndoPrinter printer;
    const RunSummary summary = service.undo(id, &printer, &stopAsked);
    printer.ended();
    printRecovery(summary.recovery);
    if (!summary.error.empty()) {
        std::cerr << summary.error << '\n';
        return kCannotRun;
    }
    std::cout << "Undone: " << figuresText(summary.figures) << (summary.stopped ? ", stopped" : "")
              << '\n';
    if (!summary.journalError.empty()) {
        std::cerr << summary.journalError << '\n';
        return kCannotRun;
    }
    return summary.figures.failed > 0 || summary.stopped ? kEntryFailed : kOk;
}

}  // namespace kestrune::cli
