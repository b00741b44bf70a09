// kestrune-settings-bench SCRATCH TASKS KEYS [REPS]: what reading the task files costs as they
// grow. Writes a tree of TASKS tasks that run at intervals and one more task, "Large", whose
// record holds KEYS keys, into the state folder SCRATCH/state/, then times, REPS times each:
// - rules-start: an automatic runner's first turn, which reads the rules of every task;
// - rules-reload: a turn after one task's record was saved (it no longer runs by itself),
//   which reads them all again;
// - rename: the tree's rename of "Large" (its record copied under the new name), as the
//   window's tree does it, each time undone again untimed;
// - delete and undo-delete: the window's delete of the group that holds every task, with
//   all their records, and its undo.
// Prints each figure's median in seconds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "run/auto/auto_runner.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_tree.h"
#include "store/tree_changes.h"

namespace fs = std::filesystem;
using namespace kestrune;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double seconds(const std::function<void()>& work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void store(const std::string& path, const std::string& content) {
    if (const std::string error = systemFileIo().replace(path, content); !error.empty()) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        std::exit(1);
    }
}

// The tree and the settings file as the program writes them: one group, the tasks below it.
void writeTaskFiles(const std::string& state, const std::string& scratch, int tasks, int keys) {
    std::string tree = "All Tasks\r\n";
    std::string settings;
    const std::string record = "s_folder=" + scratch + "/source\nt_folder=" + scratch +
                               "/target\nsublevel=1\nactions=1\nfilters=*.txt;*.pdf\nevery=60\n";
    for (int i = 1; i <= tasks; ++i) {
        const std::string name = "Task " + std::to_string(i);
        tree += "\t" + name + "\r\n";
        settings += "[" + name + "]\n" + record;
    }
    tree += "\tLarge\r\n";
    settings += "[Large]\n" + record;
    for (int i = 1; i <= keys; ++i) {
        settings += "note" + std::to_string(i) + "=kept by hand, " + std::to_string(i) + "\n";
    }
    settings += "[Settings]\nfrmx=230\nfrmy=171\n";
    store(treePath(state), tree);
    store(settingsPath(state), settings);
}

// The number of tasks in the runner's list of those taking part.
int taking(const std::string& told) {
    return told.find(':') == std::string::npos
               ? 0
               : 1 + static_cast<int>(std::count(told.begin(), told.end(), ','));
}

int failed(const char* why) {
    std::fprintf(stderr, "kestrune-settings-bench: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: kestrune-settings-bench SCRATCH TASKS KEYS [REPS]\n");
        return 2;
    }
    const std::string scratch = argv[1];
    const int tasks = std::atoi(argv[2]);
    const int keys = std::atoi(argv[3]);
    const int reps = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    const std::string state = scratch + "/state/";
    fs::create_directories(scratch + "/source");
    fs::create_directories(state);
    writeTaskFiles(state, scratch, tasks, keys);

    std::vector<double> start;
    std::vector<double> reload;
    std::vector<double> rename;
    std::vector<double> erase;
    std::vector<double> restore;
    SettingsFile settings(settingsPath(state));
    for (int rep = 0; rep < reps; ++rep) {
        settings.writeInteger("Task 1", "every", 60);
        std::string told;  // the tasks taking part, as the runner last told them
        AutoRunnerOptions options;
        options.notice = [&](const AutoNotice& notice) { told = notice.text; };
        AutoRunner runner(
            state, [](const DueRun&) {}, std::move(options));
        start.push_back(seconds([&] { runner.turn(0); }));
        if (taking(told) != tasks + 1) return failed("not every task was taken in");
        // A save replaces the file, which the runner's watch on the state folder reports; the
        // saved task no longer runs by itself.
        settings.writeInteger("Task 1", "every", 0);
        reload.push_back(seconds([&] { runner.turn(0); }));
        if (taking(told) != tasks) return failed("the saved rules were not read again");
    }
    for (int rep = 0; rep < reps; ++rep) {
        TaskTree tree;
        tree.LoadTree(treePath(state));
        TreeNode* large = tree.roots().front()->children.back().get();
        TreeHistory history;
        rename.push_back(seconds(
            [&] { history.perform(renameChange(tree, settings, large, "Large renamed")); }));
        if (settings.readString("Large renamed", "note" + std::to_string(keys), "") !=
            "kept by hand, " + std::to_string(keys)) {
            return failed("the rename did not carry the record");
        }
        history.undo();

        TreeNode* group = tree.roots().front().get();
        erase.push_back(seconds([&] { history.perform(deleteChange(tree, settings, group)); }));
        if (settings.sectionExists("Large")) return failed("the delete left a record");
        restore.push_back(seconds([&] { history.undo(); }));
        if (!settings.sectionExists("Large")) return failed("the undo did not bring it back");
    }
    std::printf("rules-start %.6f\nrules-reload %.6f\nrename %.6f\ndelete %.6f\nundo-delete %.6f\n",
                median(start), median(reload), median(rename), median(erase), median(restore));
    return 0;
}
