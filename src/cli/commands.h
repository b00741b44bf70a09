#pragma once

#include <string>
#include <vector>

namespace kestrune {
struct StateFolder;
}

namespace kestrune::cli {

// Exit statuses shared by every command.
inline constexpr int kOk = 0;
inline constexpr int kEntryFailed = 1;
inline constexpr int kCannotRun = 2;

// folder ends with "/". Each returns the exit status; output goes to stdout, errors to stderr.
int listCommand(const std::string& folder);
int showCommand(const std::string& folder, const std::string& name);
// The state folder in use, then why it is that one.
int whereCommand(const StateFolder& folder);

enum class Subtasks { None, With, Only };
// explain: a preview also names each entry the walk passed over, and why.
int runCommand(const std::string& folder, const std::string& name, bool preview, bool explain,
               Subtasks subtasks);
// Runs the named tasks (none: every task set to) by themselves until SIGINT or SIGTERM.
int watchCommand(const std::string& folder, const std::vector<std::string>& names);

// What the recovery of runs cut short did, on stderr.
void printRecovery(const std::vector<std::string>& lines);

// One line per run, newest first.
int historyCommand(const std::string& folder);
// Undoes the run with that id, or the newest one not undone when id is empty.
int undoCommand(const std::string& folder, const std::string& id);

}  // namespace kestrune::cli
