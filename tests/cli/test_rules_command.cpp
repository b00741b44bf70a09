#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "cli/cli_runner.h"
#include "cli/field_escape.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;
using test::runCli;

constexpr std::int64_t kDay = 86'400;

// Seconds since the epoch.
void setModified(const std::string& path, std::int64_t seconds) {
    test::setModifiedNs(path, seconds * 1'000'000'000);
}

std::int64_t now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The output's lines that start with the word, each without it.
std::set<std::string> linesOf(const std::string& out, const std::string& word) {
    std::set<std::string> lines;
    std::size_t at = 0;
    while (at < out.size()) {
        const std::size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end - at);
        if (line.rfind(word + "\t", 0) == 0) lines.insert(line.substr(word.size() + 1));
        at = end == std::string::npos ? out.size() : end + 1;
    }
    return lines;
}

class RulesCommandTest : public test::ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string target() const { return scratch.file("Pictures"); }
    void writeTask(const std::string& name, const std::string& keys) const {
        test::writeFile(scratch.file("Setting.cfg"), "[" + name + "]\ns_folder=" + inbox() +
                                                         "\nt_folder=" + target() + "\n" + keys);
    }
};

// "Move screenshots older than a week into Pictures/2024/03", renamed by their day. A preview
// and the run after it, each its own process, give the same targets, also where a name was
// taken; the undo puts each back under its old name and removes the folders it made.
TEST_F(RulesCommandTest, PreviewThenRunGiveTheSameTargetsAndUndoPutsThemBack) {
    const std::int64_t march5 = 1'709'640'000;  // 2024-03-05 12:00 UTC
    for (const char* name : {"Screenshot 1.png", "Screenshot 2.PNG", "Screenshot 3.png"}) {
        makeFile(inbox() + "/" + name, name);
        setModified(inbox() + "/" + name, march5);
    }
    setModified(inbox() + "/Screenshot 3.png", march5 + 30 * kDay);
    makeFile(inbox() + "/Screenshot 4.png", "this week");
    makeFile(target() + "/2024/03/2024-03-05 Screenshot 1.png", "taken");
    writeTask("Shots",
              "actions=1\nfilters=*.png\nnames=screenshot*\nolderthan=7d\nfolderstruct=1\n"
              "subfolder={year}/{month}\nrename={year}-{month}-{day} {name}.{ext}\n");

    const test::CliOutcome preview = runCli(scratch, "run Shots --preview", "env TZ=UTC");
    ASSERT_EQ(preview.status, 0) << preview.out << preview.err;
    const test::CliOutcome run = runCli(scratch, "run Shots", "env TZ=UTC");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::string expected = preview.out;
    for (std::size_t at; (at = expected.find("\tplanned\n")) != std::string::npos;) {
        expected.replace(at, 9, "\tok\n");
    }
    expected.replace(expected.find("Previewed "), 10, "Ran ");
    expected.replace(expected.find(" planned, "), 10, " done, ");
    EXPECT_EQ(run.out, expected);

    const std::set<std::string> moved = linesOf(run.out, "move");
    ASSERT_EQ(moved.size(), 3u) << run.out;
    auto line = moved.begin();
    const std::string front =
        cli::field(inbox() + "/Screenshot 1.png") + "\t" + cli::field(target() + "/2024/03/");
    ASSERT_EQ(line->substr(0, front.size()), front);
    EXPECT_TRUE(std::regex_match(line->substr(front.size()),
                                 std::regex("[a-zA-Z0-9]{12}_2024-03-05 Screenshot 1\\.png\tok")))
        << *line;
    EXPECT_EQ(*++line, cli::field(inbox() + "/Screenshot 2.PNG") + "\t" +
                           cli::field(target() + "/2024/03/2024-03-05 Screenshot 2.png") + "\tok");
    EXPECT_EQ(*++line, cli::field(inbox() + "/Screenshot 3.png") + "\t" +
                           cli::field(target() + "/2024/04/2024-04-04 Screenshot 3.png") + "\tok");
    EXPECT_TRUE(fs::exists(inbox() + "/Screenshot 4.png"));

    const test::CliOutcome undo = runCli(scratch, "undo");
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    for (const char* name : {"Screenshot 1.png", "Screenshot 2.PNG", "Screenshot 3.png"}) {
        EXPECT_EQ(readFile(inbox() + "/" + name), name);
    }
    EXPECT_FALSE(fs::exists(target() + "/2024/04"));
    EXPECT_EQ(readFile(target() + "/2024/03/2024-03-05 Screenshot 1.png"), "taken");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(target() + "/2024/03"), fs::directory_iterator()), 1);
}

TEST_F(RulesCommandTest, ExplainNamesTheFirstConditionEachPassedEntryFailed) {
    const std::int64_t twoDaysAgo = now() - 2 * kDay;
    const struct {
        const char* path;
        std::size_t size;
        std::int64_t modified;
        const char* reason;  // empty: selected
    } entries[] = {
        {"a.jpg", 2048, twoDaysAgo, "extension"},
        {"b.txt", 2048, twoDaysAgo, "name"},
        {"drafts/k-inside.txt", 2048, twoDaysAgo, nullptr},  // never seen
        {"k-small.txt", 1023, twoDaysAgo, "smaller than 1K"},
        {"k-large.txt", 4097, twoDaysAgo, "larger than 4K"},
        {"k-new.txt", 2048, now(), "newer than 1d"},
        {"k-old.txt", 2048, now() - 40 * kDay, "older than 30d"},
        {"k-dir.txt/k-in.txt", 1024, twoDaysAgo, ""},
        {"k-ok.txt", 4096, twoDaysAgo, ""},
    };
    for (const auto& entry : entries) {
        makeFile(inbox() + "/" + entry.path, std::string(entry.size, 'x'));
        setModified(inbox() + "/" + entry.path, entry.modified);
    }
    writeTask("Why",
              "actions=2\nfilters=*.txt\nnames=k*\nexclude=Drafts\nminsize=1K\n"
              "maxsize=4K\nolderthan=1d\nnewerthan=30d\nfilesonly=1\n");
    const test::CliOutcome result = runCli(scratch, "run Why --preview --explain");
    EXPECT_EQ(result.status, 0) << result.err;
    std::set<std::string> passed;
    std::set<std::string> planned;
    for (const auto& entry : entries) {
        if (entry.reason != nullptr && *entry.reason != '\0') {
            passed.insert(cli::field(inbox() + "/" + entry.path) + "\t\t" + entry.reason);
        } else if (entry.reason != nullptr) {
            planned.insert(cli::field(inbox() + "/" + entry.path) + "\t" +
                           cli::field(target() + "/" + entry.path) + "\tplanned");
        }
    }
    passed.insert(cli::field(inbox() + "/drafts") + "\t\texcluded");
    passed.insert(cli::field(inbox() + "/k-dir.txt") + "\t\ta folder");
    EXPECT_EQ(linesOf(result.out, "passed"), passed) << result.out;
    EXPECT_EQ(linesOf(result.out, "copy"), planned) << result.out;
    EXPECT_NE(result.out.find("2 planned, 0 failed"), std::string::npos);
    EXPECT_EQ(runCli(scratch, "run Why --explain").status, 2) << "--explain needs --preview";
}

TEST_F(RulesCommandTest, ValueThatCannotBeReadStopsTheTaskWithTheReason) {
    makeFile(inbox() + "/a.txt", "a");
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"minsize=10X", "its minsize \"10X\" is no size"},
        {"olderthan=-3d", "its olderthan \"-3d\" is no time span"},
        {"newerthan=5y", "its newerthan \"5y\" is no time span"},
        {"subfolder=../Elsewhere", "its subfolder \"../Elsewhere\" can make the folder \"..\""},
        {"rename=old/{name}", "holds a \"/\""},
        {"rename={name}.{kind}", "unknown field {kind}"},
        {"minsize=2M\nmaxsize=1M", "its minsize is larger than its maxsize"},
    };
    for (const auto& c : cases) {
        writeTask("Bad", std::string("actions=1\nfilters=*.txt\n") + c.line + "\n");
        for (const char* preview : {" --preview", ""}) {
            const test::CliOutcome result = runCli(scratch, std::string("run Bad") + preview);
            EXPECT_EQ(result.status, 2) << c.line;
            EXPECT_EQ(result.out.rfind("task\tBad\nerror\tTask \"Bad\" cannot run: ", 0), 0u)
                << result.out;
            EXPECT_NE(result.out.find(c.reason), std::string::npos) << result.out;
            EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
        }
    }
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "a");
    EXPECT_FALSE(fs::exists(target()));
}

}  // namespace
}  // namespace kestrune
