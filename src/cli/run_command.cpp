#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "run/task_run.h"
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

// Prints each entry as soon as it is done, so that the output of a long run comes while it
// goes on and its memory does not grow with the number of entries.
class EntryPrinter final : public RunObserver {
  public:
    explicit EntryPrinter(bool preview) : preview_(preview) {}

    // The line is put together first and written in one piece. A planned entry can fail
    // too: when no free name is left for its target.
    bool entryDone(const EntryResult& entry) override {
        line_.assign(actionWord(entry.action)).push_back('\t');
        appendField(line_, entry.source);
        line_.push_back('\t');
        appendField(line_, entry.target);
        if (!entry.ok) {
            line_.append("\tfailed: ");
            appendField(line_, entry.error);
            line_.push_back('\n');
        } else {
            line_.append(preview_ ? "\tplanned\n" : "\tok\n");
        }
        std::cout.write(line_.data(), static_cast<std::streamsize>(line_.size()));
        return true;
    }

  private:
    bool preview_;
    std::string line_;
};

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
    std::size_t done = 0;
    std::size_t failed = 0;
    for (const std::string& task : names) {
        std::cout << "task\t" << field(task) << '\n';
        if (subtasks != Subtasks::None && !settings.sectionExists(task)) {
            std::cout << "skipped\tno task record\n";
            continue;
        }
        EntryPrinter printer(preview);
        RunOptions options;
        options.preview = preview;
        options.observer = &printer;
        options.keepEntries = false;
        const RunReport report = runTask(settings, task, options);
        if (!report.error.empty()) {
            std::cout << "error\t" << field(report.error) << '\n';
            std::cerr << report.error << '\n';
            status = kCannotRun;
            continue;
        }
        done += report.succeeded;
        failed += report.failed;
        if (report.failed > 0 && status == kOk) status = kEntryFailed;
    }
    std::cout << (preview ? "Planned " : "Done: ") << done << " entries, " << failed
              << " failed, in " << names.size() << " task(s)\n";
    return status;
}

}  // namespace kestrune::cli
