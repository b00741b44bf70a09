// Signals to a running kestrune-cli watch (posix_spawn, kill).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/scratch_dir.h"

extern char** environ;

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::makeFile;
using test::readFile;
using test::writeFile;

// Waits, a little at a time, until the condition holds; false when it never did.
template <class Condition>
bool within(std::chrono::seconds limit, Condition condition) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

class WatchCommandTest : public test::ScratchTest, public ::testing::WithParamInterface<int> {
  protected:
    // `kestrune-cli watch` in the background, its output in files.
    pid_t startWatch() const {
        const std::string command = std::string("exec '") + KESTRUNE_CLI_PATH + "' --folder '" +
                                    scratch.folder() + "' watch >'" + scratch.file("out.txt") +
                                    "' 2>'" + scratch.file("err.txt") + "'";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
        return pid;
    }
    std::string err() const {
        return fs::exists(scratch.file("err.txt")) ? readFile(scratch.file("err.txt")) : "";
    }
};

TEST_P(WatchCommandTest, MovesAFileDroppedInAndStopsCleanlyOnTheSignal) {
    const std::string inbox = scratch.file("Inbox");
    const std::string sorted = scratch.file("Sorted");
    fs::create_directories(inbox);
    writeFile(scratch.file("kestrune.dll"), "Tidy\r\nBy Hand\r\n");
    writeFile(scratch.file("Setting.cfg"), "[Tidy]\ns_folder=" + inbox + "\nt_folder=" + sorted +
                                               "\nactions=1\nfilters=*.txt\nwatch=1\n"
                                               "[By Hand]\ns_folder=" +
                                               inbox + "\nt_folder=" + sorted +
                                               "\nactions=3\nfilters=*.*\n");
    // Written elsewhere and long finished, then dropped in whole, as a download tool does.
    makeFile(scratch.file("ready.txt"), "r");
    fs::last_write_time(scratch.file("ready.txt"), fs::file_time_type::clock::now() - 1h);

    const pid_t pid = startWatch();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(within(10s, [&] {
        return err().find("by themselves: Tidy\n") != std::string::npos;
    })) << err();
    fs::rename(scratch.file("ready.txt"), inbox + "/ready.txt");
    EXPECT_TRUE(within(20s, [&] { return fs::exists(sorted + "/ready.txt"); }));

    kill(pid, GetParam());
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << err();
    EXPECT_EQ(readFile(scratch.file("out.txt")),
              "task\tTidy\nmove\t" + inbox + "/ready.txt\t" + sorted +
                  "/ready.txt\tok\nRan 1 task(s): 1 done, 0 failed\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, WatchCommandTest, ::testing::Values(SIGINT, SIGTERM));

}  // namespace
}  // namespace kestrune
