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
// capturing both streams and the exit status. The arguments go through the shell as written.
CliOutcome runCli(const ScratchDir& scratch, const std::string& arguments);

}  // namespace kestrune::test
