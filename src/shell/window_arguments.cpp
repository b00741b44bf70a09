#include "shell/window_arguments.h"

#include <cstdio>

namespace kestrune::shell {

WindowArguments readWindowArguments(const std::vector<std::string>& arguments) {
    WindowArguments read;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            read.action = WindowArguments::Action::Help;
            return read;
        }
        if (argument == "--version") {
            read.action = WindowArguments::Action::Version;
            return read;
        }
        if (argument == "--hidden") {
            read.hidden = true;
        } else if (argument.rfind("--", 0) == 0) {
            read.action = WindowArguments::Action::Refuse;
            read.error = "unknown option " + argument;
            return read;
        }
    }
    return read;
}

std::string windowHelpText() {
    return "Kestrune: clears files out of folders by stored rules.\n"
           "Usage: kestrune [OPTIONS]\n"
           "\n"
           "Options:\n"
           "  -h,--help    Print this help and exit\n"
           "  --version    Print the version and exit\n"
           "  --hidden     Start in the notification area without showing the window\n"
           "\n"
           "kestrune-cli shows and runs the same tasks without a window.\n";
}

std::string windowVersionText() {
    return std::string("kestrune ") + KESTRUNE_VERSION + "\n";
}

int answerWithoutWindow(const WindowArguments& arguments) {
    switch (arguments.action) {
        case WindowArguments::Action::Help:
            std::fputs(windowHelpText().c_str(), stdout);
            return 0;
        case WindowArguments::Action::Version:
            std::fputs(windowVersionText().c_str(), stdout);
            return 0;
        case WindowArguments::Action::Refuse:
            std::fprintf(stderr, "kestrune: %s\nRun with --help for more information.\n",
                         arguments.error.c_str());
            return 2;
        case WindowArguments::Action::Run:
            break;
    }
    return 0;
}

}  // namespace kestrune::shell
