#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_actions.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class FileActionsTest : public test::ScratchTest {
  protected:
    FileActions& files = systemFileActions();
};

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(FileActionsTest, MoveNeverReplacesAnExistingEntry) {
    writeFile(scratch.file("a"), "a");
    writeFile(scratch.file("b"), "b");
    const ActionResult result = files.move(scratch.file("a"), scratch.file("b"));
    EXPECT_EQ(result.code, EEXIST);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(readFile(scratch.file("a")), "a");
    EXPECT_EQ(readFile(scratch.file("b")), "b");
    fs::create_directories(scratch.file("folder"));
    EXPECT_EQ(files.move(scratch.file("a"), scratch.file("folder")).code, EEXIST);
    EXPECT_TRUE(files.move(scratch.file("folder"), scratch.file("moved")).ok());
}

TEST_F(FileActionsTest, CopyKeepsContentModeAndModificationTime) {
    writeFile(scratch.file("src"), std::string(300000, 'x'));
    ASSERT_EQ(chmod(scratch.file("src").c_str(), 0640), 0);
    const auto when = fs::file_time_type(std::chrono::seconds(1600000000));
    fs::last_write_time(scratch.file("src"), when);
    ASSERT_TRUE(files.copy(scratch.file("src"), scratch.file("dst")).ok());
    EXPECT_EQ(readFile(scratch.file("dst")), std::string(300000, 'x'));
    EXPECT_EQ(fs::status(scratch.file("dst")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(scratch.file("dst")), when);
}

TEST_F(FileActionsTest, CopyRefusesExistingTargetsAndFoldersAndFollowsLinks) {
    writeFile(scratch.file("src"), "new");
    writeFile(scratch.file("dst"), "old");
    EXPECT_EQ(files.copy(scratch.file("src"), scratch.file("dst")).code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("dst")), "old");
    fs::create_directories(scratch.file("folder"));
    EXPECT_EQ(files.copy(scratch.file("folder"), scratch.file("f2")).code, EISDIR);
    EXPECT_FALSE(fs::exists(scratch.file("f2")));
    fs::create_symlink(scratch.file("src"), scratch.file("link"));
    ASSERT_TRUE(files.copy(scratch.file("link"), scratch.file("copied")).ok());
    EXPECT_FALSE(fs::is_symlink(scratch.file("copied")));
    EXPECT_EQ(readFile(scratch.file("copied")), "new");
    ASSERT_EQ(mkfifo(scratch.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(files.copy(scratch.file("pipe"), scratch.file("p2")).ok());
}

// The child can write at most 64 KiB: the copy fails part-way and must clean up.
TEST_F(FileActionsTest, CopyHittingAWriteLimitLeavesNoPartialTarget) {
    writeFile(scratch.file("big"), std::string(1 << 20, 'b'));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 16, 1 << 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        const ActionResult result = files.copy(scratch.file("big"), scratch.file("copy"));
        _exit(result.code == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(scratch.file("copy")));
    EXPECT_EQ(readFile(scratch.file("big")), std::string(1 << 20, 'b'));
}

TEST_F(FileActionsTest, DeleteRemovesFilesAndLinksButNotFoldersOrReadOnlyFiles) {
    writeFile(scratch.file("file"), "f");
    fs::create_symlink(scratch.file("file"), scratch.file("link"));
    EXPECT_TRUE(files.remove(scratch.file("link")).ok());
    EXPECT_TRUE(fs::exists(scratch.file("file")));
    writeFile(scratch.file("locked"), "l");
    ASSERT_EQ(chmod(scratch.file("locked").c_str(), 0444), 0);
    EXPECT_FALSE(files.remove(scratch.file("locked")).ok());
    EXPECT_TRUE(fs::exists(scratch.file("locked")));
    fs::create_directories(scratch.file("folder"));
    EXPECT_EQ(files.remove(scratch.file("folder")).code, EISDIR);
    EXPECT_EQ(files.remove(scratch.file("missing")).code, ENOENT);
    EXPECT_TRUE(files.remove(scratch.file("file")).ok());
}

TEST_F(FileActionsTest, ExistsSeesDanglingLinks) {
    fs::create_symlink("nowhere", scratch.file("dangling"));
    EXPECT_TRUE(files.exists(scratch.file("dangling")));
    EXPECT_FALSE(files.isFolder(scratch.file("dangling")));
    EXPECT_FALSE(files.exists(scratch.file("missing")));
    EXPECT_TRUE(files.makeFolder(scratch.file("made")).ok());
    EXPECT_EQ(files.makeFolder(scratch.file("made")).code, EEXIST);
    EXPECT_FALSE(files.makeFolder(scratch.file("dangling")).ok());
}

// A folder in RAM against the scratch folder on disk.
class MoveAcrossFileSystems : public FileActionsTest {
  protected:
    void SetUp() override {
        struct stat shm {
        }, disk{};
        if (stat("/dev/shm", &shm) != 0 || stat(scratch.path().c_str(), &disk) != 0 ||
            shm.st_dev == disk.st_dev) {
            GTEST_SKIP() << "/dev/shm and " << scratch.path() << " are one file system here";
        }
        char pattern[] = "/dev/shm/kestrune-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        other = pattern;
    }
    void TearDown() override {
        if (!other.empty()) fs::remove_all(other);
    }
    std::string other;
};

TEST_F(MoveAcrossFileSystems, FileIsCopiedWithModeAndTimeThenSourceRemoved) {
    writeFile(scratch.file("a"), "content");
    ASSERT_EQ(chmod(scratch.file("a").c_str(), 0604), 0);
    const auto when = fs::file_time_type(std::chrono::seconds(1500000000));
    fs::last_write_time(scratch.file("a"), when);
    ASSERT_TRUE(files.move(scratch.file("a"), other + "/a").ok());
    EXPECT_FALSE(fs::exists(scratch.file("a")));
    EXPECT_EQ(readFile(other + "/a"), "content");
    EXPECT_EQ(fs::last_write_time(other + "/a"), when);
    EXPECT_EQ(fs::status(other + "/a").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(entriesIn(other), 1u);
}

TEST_F(MoveAcrossFileSystems, LinkIsRecreatedAndFoldersRefused) {
    fs::create_symlink("pointed", scratch.file("link"));
    ASSERT_TRUE(files.move(scratch.file("link"), other + "/link").ok());
    EXPECT_EQ(fs::read_symlink(other + "/link"), "pointed");
    fs::create_directories(scratch.file("folder"));
    EXPECT_EQ(files.move(scratch.file("folder"), other + "/folder").code, EXDEV);
    EXPECT_TRUE(fs::exists(scratch.file("folder")));
    EXPECT_EQ(entriesIn(other), 1u);
}

TEST_F(MoveAcrossFileSystems, FailureLeavesSourceAndNoPartialFile) {
    writeFile(scratch.file("a"), "mine");
    writeFile(other + "/a", "theirs");
    EXPECT_EQ(files.move(scratch.file("a"), other + "/a").code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("a")), "mine");
    EXPECT_EQ(readFile(other + "/a"), "theirs");
    EXPECT_FALSE(files.move(scratch.file("a"), other + "/missing/a").ok());
    EXPECT_EQ(entriesIn(other), 1u);
    EXPECT_TRUE(fs::exists(scratch.file("a")));
}

}  // namespace
}  // namespace kestrune
