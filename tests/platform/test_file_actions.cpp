#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_actions.h"
#include "platform/temporary_name.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;
using test::writeFile;

class FileActionsTest : public test::ScratchTest {
  protected:
    OpenFolder open(const std::string& path, const std::string& relative = "") {
        OpenFolder folder;
        const ActionResult opened = files.openFolder(path, relative, folder);
        EXPECT_TRUE(opened.ok()) << opened.error;
        return folder;
    }
    EntryIdentity id(const std::string& path) {
        EntryIdentity identity;
        EXPECT_EQ(readIdentity(path, identity), 0) << path;
        return identity;
    }
    // Copies to a temporary name in `to`, flushes and places it as `name`.
    ActionResult copy(const std::string& from, const std::string& name, const std::string& to,
                      const std::string& target, bool followLink = true) {
        const OpenFolder source = open(from);
        const OpenFolder folder = open(to);
        TemporaryCopy copy;
        ActionResult result =
            files.copyToTemporary(source, name, id(from + "/" + name), followLink, folder, copy);
        if (!result.ok()) return result;
        EntryIdentity made;
        result = files.placeTemporary(folder, copy, target, made);
        if (!result.ok()) files.discardTemporary(folder, copy);
        return result;
    }
    FileActions& files = systemFileActions();
};

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(FileActionsTest, RenameNeverReplacesAndRefusesAnEntryChangedSinceListed) {
    writeFile(scratch.file("a"), "a");
    writeFile(scratch.file("b"), "b");
    const OpenFolder here = open(scratch.folder());
    EntryIdentity made;
    EXPECT_EQ(files.rename(here, "a", id(scratch.file("a")), here, "b", made).code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("b")), "b");
    const EntryIdentity listed = id(scratch.file("a"));
    writeFile(scratch.file("a"), "written since");
    const ActionResult changed = files.rename(here, "a", listed, here, "c", made);
    EXPECT_EQ(changed.error, "the entry changed since it was listed");
    EXPECT_EQ(files.remove(here, "a", listed).error, changed.error);
    ASSERT_TRUE(files.rename(here, "a", id(scratch.file("a")), here, "c", made).ok());
    EXPECT_EQ(made.inode, id(scratch.file("c")).inode);
    EXPECT_EQ(readFile(scratch.file("c")), "written since");
}

// A folder swapped for a link after the listing is never followed.
TEST_F(FileActionsTest, OpeningRefusesALinkBelowTheRoot) {
    makeFile(scratch.file("outside/secret"), "s");
    fs::create_directories(scratch.file("root"));
    fs::create_symlink(scratch.file("outside"), scratch.file("root/sub"));
    OpenFolder folder;
    const ActionResult opened = files.openFolder(scratch.file("root"), "sub/", folder);
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.error.find("root/sub/ was replaced"), std::string::npos) << opened.error;
    EXPECT_TRUE(files.openFolder(scratch.file("root/sub"), "", folder).ok());
}

TEST_F(FileActionsTest, CopyKeepsContentModeAndModificationTimeAndLeavesNoTemporary) {
    makeFile(scratch.file("src/a"), std::string(300000, 'x'));
    fs::create_directories(scratch.file("dst"));
    ASSERT_EQ(chmod(scratch.file("src/a").c_str(), 0640), 0);
    const auto when = fs::file_time_type(std::chrono::seconds(1600000000));
    fs::last_write_time(scratch.file("src/a"), when);
    ASSERT_TRUE(copy(scratch.file("src"), "a", scratch.file("dst"), "a").ok());
    EXPECT_EQ(readFile(scratch.file("dst/a")), std::string(300000, 'x'));
    EXPECT_EQ(fs::status(scratch.file("dst/a")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(scratch.file("dst/a")), when);
    EXPECT_EQ(entriesIn(scratch.file("dst")), 1u);
}

TEST_F(FileActionsTest, CopyRefusesTakenNamesFoldersAndPipesAndFollowsLinksOnlyWhenAsked) {
    makeFile(scratch.file("src/a"), "new");
    makeFile(scratch.file("dst/a"), "old");
    EXPECT_EQ(copy(scratch.file("src"), "a", scratch.file("dst"), "a").code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("dst/a")), "old");
    fs::create_directories(scratch.file("src/folder"));
    EXPECT_EQ(copy(scratch.file("src"), "folder", scratch.file("dst"), "f").code, EISDIR);
    fs::create_symlink("a", scratch.file("src/link"));
    ASSERT_TRUE(copy(scratch.file("src"), "link", scratch.file("dst"), "followed").ok());
    EXPECT_FALSE(fs::is_symlink(scratch.file("dst/followed")));
    EXPECT_EQ(readFile(scratch.file("dst/followed")), "new");
    ASSERT_TRUE(copy(scratch.file("src"), "link", scratch.file("dst"), "kept", false).ok());
    EXPECT_EQ(fs::read_symlink(scratch.file("dst/kept")), "a");
    ASSERT_EQ(mkfifo(scratch.file("src/pipe").c_str(), 0600), 0);
    EXPECT_FALSE(copy(scratch.file("src"), "pipe", scratch.file("dst"), "p").ok());
    EXPECT_EQ(entriesIn(scratch.file("dst")), 3u);
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

TEST_F(FileActionsTest, RemoveTakesFilesAndLinksButNotFoldersOrReadOnlyFiles) {
    writeFile(scratch.file("file"), "f");
    fs::create_symlink(scratch.file("file"), scratch.file("link"));
    writeFile(scratch.file("locked"), "l");
    ASSERT_EQ(chmod(scratch.file("locked").c_str(), 0444), 0);
    makeFile(scratch.file("full/x"), "x");
    fs::create_directories(scratch.file("empty"));
    const OpenFolder here = open(scratch.folder());
    EXPECT_TRUE(files.remove(here, "link", id(scratch.file("link"))).ok());
    EXPECT_TRUE(fs::exists(scratch.file("file")));
    EXPECT_FALSE(files.remove(here, "locked", id(scratch.file("locked"))).ok());
    EXPECT_EQ(files.remove(here, "full", id(scratch.file("full"))).code, EISDIR);
    EXPECT_EQ(files.removeFolder(here, "full", id(scratch.file("full"))).code, ENOTEMPTY);
    EXPECT_TRUE(files.removeFolder(here, "empty", id(scratch.file("empty"))).ok());
    EXPECT_EQ(files.remove(here, "missing", {}).code, ENOENT);
    EXPECT_TRUE(fs::exists(scratch.file("locked")));
    EXPECT_TRUE(fs::exists(scratch.file("full/x")));
}

TEST_F(FileActionsTest, ExistsSeesDanglingLinksAndMakeFolderReportsATakenName) {
    fs::create_symlink("nowhere", scratch.file("dangling"));
    EXPECT_TRUE(files.exists(scratch.file("dangling")));
    EXPECT_FALSE(files.isFolder(scratch.file("dangling")));
    EXPECT_FALSE(files.exists(scratch.file("missing")));
    EXPECT_TRUE(files.makeFolder(scratch.file("made")).ok());
    EXPECT_EQ(files.makeFolder(scratch.file("made")).code, EEXIST);
    EXPECT_EQ(files.makeFolder(scratch.file("dangling")).code, EEXIST);
}

TEST(TemporaryName, NewNamesAreRecognisedAndOthersAreNot) {
    const std::string name = newTemporaryName();
    EXPECT_TRUE(isTemporaryName(name)) << name;
    EXPECT_NE(name, newTemporaryName());
    for (const char* other : {".kestrune-tmp-", ".kestrune-tmp-abc", ".kestrune-tmp-abcdefg",
                              ".kestrune-tmp-ab.def", "x.kestrune-tmp-abcdef"}) {
        EXPECT_FALSE(isTemporaryName(other)) << other;
    }
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
    ASSERT_TRUE(files.copyToTemporary(here, "a", id(scratch.file("a")), false, there, copy).ok());
    ASSERT_TRUE(files.placeTemporary(there, copy, "a", made).ok());
    writeFile(scratch.file("a"), "content and more");
    EXPECT_EQ(files.removeCopiedSource(here, "a", copy).error,
              "the source changed while it was copied");
    EXPECT_EQ(readFile(scratch.file("a")), "content and more");
    EXPECT_EQ(readFile(other + "/a"), "content");
    TemporaryCopy again;
    ASSERT_TRUE(files.copyToTemporary(here, "a", id(scratch.file("a")), false, there, again).ok());
    ASSERT_TRUE(files.placeTemporary(there, again, "b", made).ok());
    EXPECT_TRUE(files.removeCopiedSource(here, "a", again).ok());
    EXPECT_FALSE(fs::exists(scratch.file("a")));
    EXPECT_EQ(entriesIn(other), 2u);
}

}  // namespace
}  // namespace kestrune
