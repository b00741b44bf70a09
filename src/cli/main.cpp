// kestrune-cli: the task tree and the task records for scripts, without a window.

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"
#include "store/state_folder.h"
#include "store/task_record.h"

namespace {

// Every key of a task's record with an example, for the help's end; in the order show prints.
std::string recordKeysHelp() {
    namespace keys = kestrune::keys;
    struct Key {
        std::string_view key;
        std::string_view example;
        std::string_view meaning;
    };
    const Key table[] = {
        {keys::kSourceFolder, "/home/ann/Downloads", "the source folder"},
        {keys::kTargetFolder, "/home/ann/Sorted", "the target of a move or copy"},
        {keys::kAction, "1", "1 move, 2 copy, 3 delete, 4 move to the trash"},
        {keys::kDepth, "0", "0 every level; n the source and n-1 levels below"},
        {keys::kFilters, "*.pdf;*.jpg", "extensions; *.* everything"},
        {keys::kFolderStructure, "1", "straight into the target, not into kept folders"},
        {keys::kNames, "invoice*;*receipt*", "whole names, any letter case: * ? [...]"},
        {keys::kExclude, "drafts;*.bak;.git", "leave these; such folders are not entered"},
        {keys::kMinSize, "10M", "files of at least that size (K, M, G, T)"},
        {keys::kMaxSize, "500M", "files of at most that size"},
        {keys::kOlderThan, "7d", "modified at least that long ago (m, h, d, w)"},
        {keys::kNewerThan, "30d", "modified less long ago"},
        {keys::kFilesOnly, "1", "never a folder"},
        {keys::kSubfolder, "{year}/{month}",
         "folders below the target: {year} {month} {day} {ext}"},
        {keys::kRename, "{year}-{month}-{day} {name}.{ext}", "the new name"},
        {keys::kSkipSame, "1", "leave a file whose target holds the same content"},
        {keys::kWatch, "1", "run when the source changes"},
        {keys::kEvery, "60", "run every so many minutes"},
    };
    constexpr std::size_t kColumn = 30;
    std::string text = "Task record keys (Setting.cfg, one section per task), with examples:\n";
    for (const Key& key : table) {
        std::string line = "  ";
        line.append(key.key).append("=").append(key.example);
        if (line.size() < kColumn) {
            line.resize(kColumn, ' ');
        } else {
            line.append("\n").append(kColumn, ' ');
        }
        text.append(line).append(key.meaning).append("\n");
    }
    return text;
}

}  // namespace

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
    bool explain = false;
    bool withSubtasks = false;
    bool subtasksOnly = false;
    auto* run = app.add_subcommand("run", "Run a task: move, copy, delete or trash its files");
    run->add_option("NAME", runName, "Task name")->required();
    auto* previewFlag =
        run->add_flag("--preview", preview, "Show what the run would do without touching anything");
    run->add_flag("--explain", explain,
                  "With --preview: also show each entry passed over and the first condition it "
                  "failed (passed<TAB>PATH<TAB><TAB>REASON)")
        ->needs(previewFlag);
    auto* with = run->add_flag("--with-subtasks", withSubtasks,
                               "Run the task, then every task below it in the tree");
    run->add_flag("--subtasks-only", subtasksOnly, "Run every task below it, not the task itself")
        ->excludes(with);

    auto* history =
        app.add_subcommand("history", "Print the runs kept in the history, newest first");
    std::string undoId;
    auto* undo = app.add_subcommand(
        "undo", "Undo the newest run with something left to undo, or the run ID");
    undo->add_option("ID", undoId, "The run's id, as history prints it");
    std::vector<std::string> watchNames;
    auto* watch = app.add_subcommand(
        "watch", "Run tasks by themselves, on changes and at intervals, until interrupted");
    watch->add_option("NAME", watchNames, "Task names (default: every task set to run by itself)");

    // Set after the commands, so that only the program's own help ends with it.
    app.footer(recordKeysHelp());

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
    return runCommand(state.path, runName, preview, explain, subtasks);
}
