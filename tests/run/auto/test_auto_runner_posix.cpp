// A watched folder removed and made again: inotify tells its removal, Windows does not.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/auto/auto_runner_test.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::arrive;
using test::AutoRunnerTest;

TEST_F(AutoRunnerTest, ASourceThatGoesAndComesBackIsWatchedAgain) {
    writeTask("watch=1\n");
    start();
    at(0ms, 50);
    at(10s, 50);              // the first, full run after the start
    fs::remove_all(inbox());  // as a disk taken away
    at(11s, 200);
    arrive(inbox() + "/back.txt", "b");
    at(12s, 200);
    at(39s, 200);
    EXPECT_EQ(reasons.size(), 1u);
    at(41s, 200);  // looked for again: found, and what it holds is new
    at(44s, 200);
    EXPECT_EQ(reasons, (std::vector<AutoReason>{AutoReason::FullRun, AutoReason::Changes}));
    EXPECT_TRUE(fs::exists(sorted() + "/back.txt"));
}

}  // namespace
}  // namespace kestrune
