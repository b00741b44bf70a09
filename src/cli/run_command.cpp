#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "run/plan_executor.h"
#include "run/run_planner.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_tree.h"

namespace kestrune::cli {

namespace {

const char* actionWord(Action action) {
    switch (action) {
        case Action::Move:
            return "move";
        case Action::Copy:
            return "copy";
        case Action::Delete:
            return "delete";
        default:
            return "none";
    }
}

// The task names a command runs, in order: the node itself and/or its subtree in pre-order.
std::vector<std::string> taskNames(const std::string& folder, const std::string& name,
                                   Subtasks subtasks) {
    if (subtasks == Subtasks::None) return {name};
    TaskTree tree;
    tree.LoadTreeIfPresent(treePath(folder));
    for (TreeNode* node : tree.allNodes()) {
        if (node->text != name) continue;
        std::vector<std::string> names;
        for (TreeNode* member : TaskTree::preOrder(node)) names.push_back(member->text);
        if (subtasks == Subtasks::Only) names.erase(names.begin());
        return names;
    }
    throw Error("No node named \"" + name + "\" in the task tree");
}

// Writes the run's lines: one per step, a `folder` line per folder that could not be listed.
// The lines gather in a buffer of its own that goes to the output in large pieces: a
// preview writes a hundred thousand lines, and a stream write per line costs more than the
// line.
class LinePrinter {
  public:
    void step(const PlanStep& step, StepStatus status, const std::string& target,
              const std::string& error) {
        if (status != StepStatus::Failed && isPlainField(step.source) && isPlainField(target)) {
            return plainStep(step, status, target);
        }
        lines_.append(actionWord(step.action)).push_back('\t');
        appendField(lines_, step.source);
        lines_.push_back('\t');
        appendField(lines_, target);
        end(status, error);
    }
    void folder(const FolderProblem& problem) {
        lines_.append("folder\t");
        appendField(lines_, problem.folder);
        lines_.push_back('\t');
        end(StepStatus::Failed, problem.reason);
    }
    // Writes out what is gathered. A run's line goes out at once, so that the output of a
    // killed run names every entry it did; a preview's lines go out at the end of its task,
    // before anything else is written.
    void flush() {
        write();
        std::cout.flush();
    }

  private:
    static constexpr std::size_t kPiece = 64 * 1024;

    // The line of nearly every step: its pieces copied into room made for all of them.
    void plainStep(const PlanStep& step, StepStatus status, const std::string& target) {
        const std::string_view action = actionWord(step.action);
        const std::string_view word = statusWord(status);
        const std::size_t at = lines_.size();
        lines_.resize(at + action.size() + step.source.size() + target.size() + word.size() + 4);
        char* out = put(lines_.data() + at, action, '\t');
        out = put(out, step.source, '\t');
        out = put(out, target, '\t');
        put(out, word, '\n');
        if (lines_.size() >= kPiece) write();
    }
    static char* put(char* out, std::string_view piece, char after) {
        std::memcpy(out, piece.data(), piece.size());
        out[piece.size()] = after;
        return out + piece.size() + 1;
    }

    void end(StepStatus status, const std::string& error) {
        lines_.push_back('\t');
        lines_.append(statusWord(status));
        if (status == StepStatus::Failed) {
            lines_.append(": ");
            appendField(lines_, error);
        }
        lines_.push_back('\n');
        if (lines_.size() >= kPiece) write();
    }
    void write() {
        std::cout.write(lines_.data(), static_cast<std::streamsize>(lines_.size()));
        lines_.clear();
    }

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

struct TaskCounts {
    std::size_t done = 0;
    std::size_t failed = 0;
};

// Prints the plan itself, line by line as it is planned, so that a preview of many entries
// needs no memory for them.
class PlanPrinter final : public PlanSink {
  public:
    explicit PlanPrinter(LinePrinter& lines) : lines_(lines) {}
    void planned(const PlanStep& step) override {
        lines_.step(step, step.status, step.target, step.error);
        ++(step.status == StepStatus::Failed ? counts.failed : counts.done);
    }
    void unlisted(const FolderProblem& problem) override {
        lines_.folder(problem);
        ++counts.failed;
    }
    TaskCounts counts;

  private:
    LinePrinter& lines_;
};

// Carries the plan out, each line as its step is done. Nullopt when the run cannot start.
std::optional<TaskCounts> execute(const RunPlan& plan, LinePrinter& lines) {
    for (const FolderProblem& problem : plan.unreadable) lines.folder(problem);
    lines.flush();  // the task's line too
    StepPrinter printer(plan, lines);
    ExecuteOptions options;
    options.observer = &printer;
    const RunTotals totals = executePlan(plan, options);
    if (!totals.error.empty()) {
        std::cout << "error\t" << field(totals.error) << '\n';
        std::cerr << totals.error << '\n';
        return std::nullopt;
    }
    return TaskCounts{totals.succeeded, totals.failed};
}

}  // namespace

int runCommand(const std::string& folder, const std::string& name, bool preview,
               Subtasks subtasks) {
    std::vector<std::string> names;
    try {
        names = taskNames(folder, name, subtasks);
    } catch (const Error& e) {
        std::cerr << e.what() << '\n';
        return kCannotRun;
    }
    // The entries are printed while the run goes on. A reader that goes away early
    // (`| head`) must not end the run between two entries: the rest of the output is lost,
    // the run is done to its end as ever.
    std::signal(SIGPIPE, SIG_IGN);
    const SettingsFile settings(settingsPath(folder));
    int status = kOk;
    TaskCounts total;
    LinePrinter lines;
    for (const std::string& task : names) {
        std::cout << "task\t" << field(task) << '\n';
        if (subtasks != Subtasks::None && !settings.sectionExists(task)) {
            std::cout << "skipped\tno task record\n";
            continue;
        }
        PlanPrinter printer(lines);
        PlanOptions options;
        if (preview) {
            options.sink = &printer;
            options.identities = false;
        }
        const RunPlan plan = planTask(settings, task, options);
        lines.flush();
        std::optional<TaskCounts> counts;
        if (!plan.error.empty()) {
            std::cout << "error\t" << field(plan.error) << '\n';
            std::cerr << plan.error << '\n';
        } else if (preview) {
            counts = printer.counts;
        } else {
            counts = execute(plan, lines);
        }
        if (!counts) {
            status = kCannotRun;
            continue;
        }
        total.done += counts->done;
        total.failed += counts->failed;
        if (counts->failed > 0 && status == kOk) status = kEntryFailed;
    }
    std::cout << (preview ? "Planned " : "Done: ") << total.done << " entries, " << total.failed
              << " failed, in " << names.size() << " task(s)\n";
    return status;
}

}  // namespace kestrune::cli
