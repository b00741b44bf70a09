// Symbolic links, modes, pipes, file size limits (fork) and a second file system in /dev/shm.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_actions_test.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::entriesIn;
using test::FileActionsTest;
using test::makeFile;
using test::readFile;
using test::writeFile;

// A folder swapped for a link after the listing is never followed.
TEST_F(FileActionsTest, OpeningRefusesALinkBelowTheRoot) {
    makeFile(scratch.file("outside/secret"), "s");
    fs::create_directories(scratch.file("root"));
    fs::create_symlink(scratch.file("outside"), scratch.file("root/sub"));
    OpenFolder folder;
    const ActionResult opened = files.openBelow(open(scratch.file("root")), "sub", folder);
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.error.find("root/sub/ was replaced"), std::string::npos) << opened.error;
    EXPECT_TRUE(files.openRoot(scratch.file("root/sub"), folder).ok());
}

// Each folder in a folder copied keeps its own times.
TEST_F(FileActionsTest, CopyKeepsTheModeAndTheTimesOfFoldersInAFolder) {
    makeFile(scratch.file("src/a"), "a");
    makeFile(scratch.file("src/folder/inner/x"), "x");
    fs::create_directories(scratch.file("dst"));
    ASSERT_EQ(chmod(scratch.file("src/a").c_str(), 0640), 0);
    const auto when = fs::file_time_type(std::chrono::seconds(1600000000));
    fs::last_write_time(scratch.file("src/folder/inner"), when);
    ASSERT_TRUE(copy(scratch.file("src"), "a", scratch.file("dst"), "a").ok());
    ASSERT_TRUE(copy(scratch.file("src"), "folder", scratch.file("dst"), "f").ok());
    EXPECT_EQ(fs::status(scratch.file("dst/a")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(scratch.file("dst/f/inner")), when);
}

// A link is copied as a link, as a move takes it, also inside a folder.
TEST_F(FileActionsTest, CopyRefusesPipesAndTakesLinksAsTheyAre) {
    makeFile(scratch.file("src/a"), "a");
    makeFile(scratch.file("src/folder/x"), "x");
    fs::create_directories(scratch.file("dst"));
    fs::create_symlink("../a", scratch.file("src/folder/up"));
    ASSERT_TRUE(copy(scratch.file("src"), "folder", scratch.file("dst"), "f").ok());
    EXPECT_EQ(fs::read_symlink(scratch.file("dst/f/up")), "../a");
    fs::create_symlink("a", scratch.file("src/link"));
    ASSERT_TRUE(copy(scratch.file("src"), "link", scratch.file("dst"), "kept").ok());
    EXPECT_EQ(fs::read_symlink(scratch.file("dst/kept")), "a");
    ASSERT_EQ(mkfifo(scratch.file("src/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(copy(scratch.file("src"), "pipe", scratch.file("dst"), "p").ok());
    EXPECT_EQ(entriesIn(scratch.file("dst")), 2u);
}

// The child can write at most 64 KiB: the copy fails part-way and must clean up.
TEST_F(FileActionsTest, CopyHittingAWriteLimitLeavesNothingBehind) {
    makeFile(scratch.file("src/big"), std::string(1 << 20, 'b'));
    fs::create_directories(scratch.file("dst"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 16, 1 << 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        const ActionResult result = copy(scratch.file("src"), "big", scratch.file("dst"), "big");
        _exit(result.code == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(entriesIn(scratch.file("dst")), 0u);
    EXPECT_EQ(readFile(scratch.file("src/big")), std::string(1 << 20, 'b'));
}

// A link goes itself, never what it points to; a link is no private folder.
TEST_F(FileActionsTest, RemoveTakesALinkItselfAndAPrivateFolderIsNoLinkAndMode700) {
    writeFile(scratch.file("file"), "f");
    fs::create_symlink(scratch.file("file"), scratch.file("link"));
    fs::create_symlink("nowhere", scratch.file("dangling"));
    const OpenFolder here = open(scratch.folder());
    EXPECT_TRUE(files.remove(here, "link", id(scratch.file("link"))).ok());
    EXPECT_TRUE(fs::exists(scratch.file("file")));
    EXPECT_TRUE(files.exists(scratch.file("dangling")));
    EXPECT_FALSE(files.isFolder(scratch.file("dangling")));
    EXPECT_EQ(files.makeFolder(here, "dangling").code, EEXIST);
    EXPECT_EQ(files.makeFolder(here, "dangling", true).code, EPERM);
    EXPECT_TRUE(files.makeFolder(here, "private", true).ok());
    EXPECT_EQ(fs::status(scratch.file("private")).permissions(), fs::perms::owner_all);
}

// A folder in RAM against the scratch folder on disk.
class AcrossFileSystems : public FileActionsTest {
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

TEST_F(AcrossFileSystems, RenameSaysSoAndACopiedSourceGoesOnlyUnchanged) {
    writeFile(scratch.file("a"), "content");
    const OpenFolder here = open(scratch.folder());
    const OpenFolder there = open(other);
    EntryIdentity made;
    EXPECT_EQ(files.rename(here, "a", id(scratch.file("a")), there, "a", made).code, EXDEV);
    TemporaryCopy copy;
    ASSERT_TRUE(
        files.copyToTemporary(here, "a", id(scratch.file("a")), there, "t1", nullptr, copy).ok());
    ASSERT_TRUE(files.placeTemporary(there, copy, "a", made).ok());
    writeFile(scratch.file("a"), "content and more");
    EXPECT_EQ(files.removeCopiedSource(here, "a", copy).error,
              "the source changed while it was copied");
    EXPECT_EQ(readFile(scratch.file("a")), "content and more");
    EXPECT_EQ(readFile(other + "/a"), "content");
    TemporaryCopy again;
    ASSERT_TRUE(
        files.copyToTemporary(here, "a", id(scratch.file("a")), there, "t2", nullptr, again).ok());
    ASSERT_TRUE(files.placeTemporary(there, again, "b", made).ok());
    EXPECT_TRUE(files.removeCopiedSource(here, "a", again).ok());
    EXPECT_FALSE(fs::exists(scratch.file("a")));
    EXPECT_EQ(entriesIn(other), 2u);
}

// A folder's source goes entry by entry as copied: what came since stays, with its folder.
TEST_F(AcrossFileSystems, AFolderCopiedAcrossKeepsWhatArrivedSinceInItsSource) {
    makeFile(scratch.file("f/old"), "old");
    const OpenFolder here = open(scratch.folder());
    const OpenFolder there = open(other);
    TemporaryCopy copy;
    ASSERT_TRUE(
        files.copyToTemporary(here, "f", id(scratch.file("f")), there, "t", nullptr, copy).ok());
    makeFile(scratch.file("f/new"), "new");
    const ActionResult removed = files.removeCopiedSource(here, "f", copy);
    EXPECT_EQ(removed.code, ENOTEMPTY) << removed.error;
    EXPECT_FALSE(fs::exists(scratch.file("f/old")));
    EXPECT_EQ(readFile(scratch.file("f/new")), "new");
    EXPECT_EQ(readFile(other + "/t/old"), "old");
}

}  // namespace
}  // namespace kestrune
