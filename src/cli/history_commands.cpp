#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "platform/stop_requests.h"
#include "run/history/journal.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/history/run_undo.h"
#include "store/program_files.h"
#include "store/settings_file.h"

namespace kestrune::cli {

namespace {

// One line per step of the undo: where the entry was, where it goes back to, and how it went.
class UndoPrinter final : public ExecutionObserver {
  public:
    explicit UndoPrinter(const RunPlan& plan) : plan_(plan) {}

    bool stepDone(std::size_t index, const StepResult& result) override {
        const PlanStep& step = plan_.steps[index];
        if (step.status == StepStatus::Merged) return true;  // a folder: no entry of the run
        std::string line = "undo\t";
        appendField(line, step.source);
        line += '\t';
        // A removed copy goes nowhere.
        if (step.action != Action::RemoveCopy) appendField(line, step.target);
        line += '\t';
        if (result.status == StepStatus::Failed) {
            line += "failed: ";
            appendField(line, result.error);
            ++failed;
        } else {
            line += "ok";
            ++done;
        }
        line += '\n';
        std::cout << line << std::flush;
        return true;
    }

    std::size_t done = 0;
    std::size_t failed = 0;

  private:
    const RunPlan& plan_;
};

}  // namespace

void reportRecovery(const std::string& folder) {
    try {
        for (const std::string& line : recoverInterruptedRuns(folder)) {
            std::cerr << "recovery: " << line << '\n';
        }
    } catch (const Error& e) {
        std::cerr << "recovery: " << e.what() << '\n';
    }
}

int historyCommand(const std::string& folder) {
    for (const HistoryEntry& entry : readHistory(folder)) {
        if (!entry.problem.empty()) {
            std::cerr << entry.problem << '\n';
            continue;
        }
        const JournalContent& run = entry.journal;
        std::string line;
        for (const std::string& text :
             {run.id, run.started, run.plan.task, std::to_string(run.figures.done),
              std::to_string(run.figures.failed)}) {
            appendField(line, text);
            line += '\t';
        }
        line += runStateWord(entry.state);
        std::cout << line << '\n';
    }
    return kOk;
}

int undoCommand(const std::string& folder, const std::string& id) {
    keepRunningWhenOutputCloses();
    reportRecovery(folder);
    const SettingsFile settings(settingsPath(folder));
    try {
        const UndoPlan undo = planUndoOf(folder, id);
        std::cout << "undoing\t" << field(undo.undoneId) << '\n';
        UndoPrinter printer(undo.plan);
        ExecuteOptions options;
        options.observer = &printer;
        const RunTotals totals = runUndo(undo, folder, options, historySizeOf(settings)).totals;
        std::cout << "Undone: " << printer.done << " entries, " << printer.failed << " failed\n";
        return totals.failed > 0 ? kEntryFailed : kOk;
    } catch (const Error& e) {
        std::cerr << e.what() << '\n';
        return kCannotRun;
    }
}

}  // namespace kestrune::cli
