#pragma once

#include <string>
#include <vector>

namespace kestrune::shell {

// What the window program was asked on its command line. It reads only its own three
// options; single-dash ones are Qt's (-session from the session manager, -display, ...) and
// are left to it.
struct WindowArguments {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    bool hidden = false;
    std::string error;  // for Refuse
};

WindowArguments readWindowArguments(const std::vector<std::string>& arguments);

std::string windowHelpText();
std::string windowVersionText();

// Prints the help, the version or the error for an argument list that asks no start.
// Returns the exit code.
int answerWithoutWindow(const WindowArguments& arguments);

}  // namespace kestrune::shell
