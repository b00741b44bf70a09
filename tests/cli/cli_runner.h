#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/scratch_dir.h"

namespace kestrune::test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built kestrune-cli as a user would, capturing both streams and the exit status.
inline Outcome runCli(const ScratchDir& scratch, const std::string& arguments) {
    const std::string errFile = scratch.file("stderr.txt");
    const std::string command = std::string(KESTRUNE_CLI_PATH) + " --folder '" + scratch.folder() +
                                "' " + arguments + " 2>'" + errFile + "'";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        outcome.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = readFile(errFile);
    std::filesystem::remove(errFile);
    return outcome;
}

}  // namespace kestrune::test
