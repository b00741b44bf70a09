#pragma once

#include <string>

#include "support/scratch_dir.h"

namespace kestrune::test {

struct CliOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built kestrune-cli as a user would, with the scratch folder as its program folder,
// capturing both streams and the exit status. The arguments go through the shell as written;
// a wrapper (such as a command that changes the user) goes before the program.
CliOutcome runCli(const ScratchDir& scratch, const std::string& arguments,
                  const std::string& wrapper = "");

}  // namespace kestrune::test
