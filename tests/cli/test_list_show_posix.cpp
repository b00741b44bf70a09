// The program started by the shell, from a copy of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/scratch_dir.h"

namespace kestrune {
namespace {

// Without --folder, a copy in a folder its user can write keeps its files beside it.
TEST(WhereCommand, ACopyInAWritableFolderKeepsItsFilesBesideIt) {
    test::ScratchDir scratch;
    const std::string cli = scratch.file("kestrune-cli");
    std::filesystem::copy_file(KESTRUNE_CLI_PATH, cli);
    const std::string out = scratch.file("out.txt");
    ASSERT_EQ(std::system(("'" + cli + "' where >'" + out + "'").c_str()), 0);
    EXPECT_EQ(test::readFile(out).substr(0, test::readFile(out).find('\n')), scratch.folder());
}

}  // namespace
}  // namespace kestrune
