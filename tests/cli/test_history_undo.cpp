#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/field_escape.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;
using test::runCli;

std::vector<std::vector<std::string>> rows(const std::string& out) {
    std::vector<std::vector<std::string>> result;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string part; std::getline(parts, part, '\t');) fields.push_back(part);
        result.push_back(fields);
    }
    return result;
}

class HistoryUndoTest : public test::ScratchTest {
  protected:
    void SetUp() override {
        makeFile(inbox + "/a.txt", "a");
        makeFile(inbox + "/Notes/c.txt", "c");
        test::writeFile(scratch.file("Setting.cfg"),
                        "[Tidy]\ns_folder=" + inbox + "\nt_folder=" + sorted +
                            "\nsublevel=0\nactions=1\nfilters=*.txt\n");
    }
    const std::string inbox = scratch.file("Inbox");
    const std::string sorted = scratch.file("Sorted");
};

TEST_F(HistoryUndoTest, HistoryListsRunsAndUndoPutsThemBackOrRedoes) {
    ASSERT_EQ(runCli(scratch, "run Tidy").status, 0);
    const auto history = rows(runCli(scratch, "history").out);
    ASSERT_EQ(history.size(), 1u);
    ASSERT_EQ(history[0].size(), 8u);
    EXPECT_EQ(std::vector<std::string>(history[0].begin() + 2, history[0].end()),
              (std::vector<std::string>{"Tidy", "2", "0", "done", "0", "0"}));
    EXPECT_EQ(history[0][1].size(), 20u) << "2026-12-09T05:12:33Z: " << history[0][1];
    const std::string id = history[0][0];

    const test::CliOutcome undo = runCli(scratch, "undo");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "undoing\t" + id + "\n" + "undo\t" + cli::field(sorted + "/Notes/c.txt") +
                            "\t" + cli::field(inbox + "/Notes/c.txt") + "\tok\n" + "undo\t" +
                            cli::field(sorted + "/a.txt") + "\t" + cli::field(inbox + "/a.txt") +
                            "\tok\n" + "Undone: 2 done, 0 failed\n");
    EXPECT_EQ(readFile(inbox + "/Notes/c.txt"), "c");
    EXPECT_FALSE(fs::exists(sorted));
    const auto after = rows(runCli(scratch, "history").out);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1][5], "undone");

    const test::CliOutcome again = runCli(scratch, "undo");
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("No run to undo"), std::string::npos) << again.err;

    EXPECT_EQ(runCli(scratch, "undo " + after[0][0]).status, 0);  // the undo undone: a redo
    EXPECT_EQ(readFile(sorted + "/a.txt"), "a");
    EXPECT_EQ(rows(runCli(scratch, "history").out)[2][5], "done");
}

TEST_F(HistoryUndoTest, UnwritableJournalStopsTheRunAndChangedFilesFailTheUndo) {
    test::writeFile(scratch.file("history"), "not a folder");
    const test::CliOutcome blocked = runCli(scratch, "run Tidy");
    EXPECT_EQ(blocked.status, 2);
    EXPECT_NE(blocked.err.find("history"), std::string::npos) << blocked.err;
    EXPECT_EQ(readFile(inbox + "/a.txt"), "a");

    fs::remove(scratch.file("history"));
    ASSERT_EQ(runCli(scratch, "run Tidy").status, 0);
    test::writeFile(sorted + "/a.txt", "edited");
    const test::CliOutcome undo = runCli(scratch, "undo");
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.out.find("/a.txt\tfailed: it changed since the run\n"), std::string::npos)
        << undo.out;
    EXPECT_EQ(readFile(sorted + "/a.txt"), "edited");
    EXPECT_EQ(rows(runCli(scratch, "history").out)[1][5], "partly undone");
}

}  // namespace
}  // namespace kestrune
