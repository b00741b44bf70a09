#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
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

// A name may hold a TAB or a line break, which would split a field or a line for the script
// reading the output; those and the backslash itself are written as C escapes.
std::string field(const std::string& text) {
    if (text.find_first_of("\t\n\r\\") == std::string::npos) return text;
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// A planned entry can fail too: when no free name is left for its target.
std::string outcome(const EntryResult& entry, bool preview) {
    if (!entry.ok) return "failed: " + field(entry.error);
    return preview ? "planned" : "ok";
}

void printReport(const RunReport& report, bool preview) {
    for (const EntryResult& entry : report.entries) {
        std::cout << actionWord(entry.action) << '\t' << field(entry.source) << '\t'
                  << field(entry.target) << '\t' << outcome(entry, preview) << '\n';
    }
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
        RunOptions options;
        options.preview = preview;
        const RunReport report = runTask(settings, task, options);
        if (!report.error.empty()) {
            std::cout << "error\t" << field(report.error) << '\n';
            std::cerr << report.error << '\n';
            status = kCannotRun;
            continue;
        }
        printReport(report, preview);
        done += report.succeeded;
        failed += report.failed;
        if (report.failed > 0 && status == kOk) status = kEntryFailed;
    }
    std::cout << (preview ? "Planned " : "Done: ") << done << " entries, " << failed
              << " failed, in " << names.size() << " task(s)\n";
    return status;
}

}  // namespace kestrune::cli
