// popen and the shell.
#include "cli/cli_runner.h"

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <filesystem>

namespace kestrune::test {

CliOutcome runCli(const ScratchDir& scratch, const std::string& arguments,
                  const std::string& wrapper) {
    const std::string errFile = scratch.file("stderr.txt");
    const std::string command = wrapper + " " + std::string(KESTRUNE_CLI_PATH) + " --folder '" +
                                scratch.folder() + "' " + arguments + " 2>'" + errFile + "'";
    CliOutcome outcome;
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
