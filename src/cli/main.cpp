// kestrune-cli: the task tree and the task records for scripts, without a window.

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"
#include "store/state_folder.h"

int main(int argc, char** argv) {
    using namespace kestrune::cli;
    // A run prints one line per entry: the standard streams get buffers of their own instead
    // of passing every piece through C's stdio. Nothing here writes through stdio.
    std::ios::sync_with_stdio(false);
    kestrune::writeUtf8Output();

    CLI::App app{"Kestrune's command line: shows the task tree and records, and runs tasks.",
                 "kestrune-cli"};
    app.set_version_flag("--version", std::string("kestrune-cli ") + KESTRUNE_VERSION);
    app.require_subcommand(1);

    std::string folder;
    app.add_option("--folder", folder,
                   "Folder holding Setting.cfg and kestrune.dll (default: the program's own "
                   "folder, or ~/.config/kestrune/ for an installed program; see where)")
        ->check(CLI::ExistingDirectory);

    auto* where = app.add_subcommand("where", "Print the folder the files are kept in, and why");
    auto* list = app.add_subcommand("list", "Print the task tree and the task count");

    std::string showName;
    auto* show = app.add_subcommand("show", "Print a task's record as a run reads it");
    show->add_option("NAME", showName, "Task name")->required();

    std::string runName;
    bool preview = false;
    bool withSubtasks = false;
    bool subtasksOnly = false;
    auto* run = app.add_subcommand("run", "Run a task: move, copy or delete its files");
    run->add_option("NAME", runName, "Task name")->required();
    run->add_flag("--preview", preview, "Show what the run would do without touching anything");
    auto* with = run->add_flag("--with-subtasks", withSubtasks,
                               "Run the task, then every task below it in the tree");
    run->add_flag("--subtasks-only", subtasksOnly, "Run every task below it, not the task itself")
        ->excludes(with);

    auto* history =
        app.add_subcommand("history", "Print the runs kept in the history, newest first");
    std::string undoId;
    auto* undo = app.add_subcommand("undo", "Undo the newest run not yet undone, or the run ID");
    undo->add_option("ID", undoId, "The run's id, as history prints it");
    std::vector<std::string> watchNames;
    auto* watch = app.add_subcommand(
        "watch", "Run tasks by themselves, on changes and at intervals, until interrupted");
    watch->add_option("NAME", watchNames, "Task names (default: every task set to run by itself)");

    std::vector<std::string> arguments = kestrune::programArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? kOk : kCannotRun;
    }

    const kestrune::StateFolder state =
        folder.empty() ? kestrune::stateFolder() : kestrune::namedStateFolder(folder);
    if (*where) return whereCommand(state);
    if (*list) return listCommand(state.path);
    if (*show) return showCommand(state.path, showName);
    if (*history) return historyCommand(state.path);
    if (*undo) return undoCommand(state.path, undoId);
    if (*watch) return watchCommand(state.path, watchNames);
    const Subtasks subtasks =
        withSubtasks ? Subtasks::With : (subtasksOnly ? Subtasks::Only : Subtasks::None);
    return runCommand(state.path, runName, preview, subtasks);
}
