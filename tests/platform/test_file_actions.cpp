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
    OpenFolder open(const std::string& path) {
        OpenFolder folder;
        const ActionResult opened = files.openRoot(path, folder);
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
                      const std::string& target) {
        const OpenFolder source = open(from);
        const OpenFolder folder = open(to);
        TemporaryCopy copy;
        ActionResult result = files.copyToTemporary(source, name, id(from + "/" + name), folder,
                                                    temporaryNameFor("run", 1), nullptr, copy);
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
    const ActionResult opened = files.openBelow(open(scratch.file("root")), "sub", folder);
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.error.find("root/sub/ was replaced"), std::string::npos) << opened.error;
    EXPECT_TRUE(files.openRoot(scratch.file("root/sub"), folder).ok());
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

// A link is copied as a link, as a move takes it; a folder whole, with its own times.
TEST_F(FileActionsTest, CopyRefusesTakenNamesAndPipesAndTakesLinksAndFoldersAsTheyAre) {
    makeFile(scratch.file("src/a"), "new");
    makeFile(scratch.file("dst/a"), "old");
    EXPECT_EQ(copy(scratch.file("src"), "a", scratch.file("dst"), "a").code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("dst/a")), "old");
    makeFile(scratch.file("src/folder/inner/x"), "x");
    fs::create_symlink("../a", scratch.file("src/folder/up"));
    const auto when = fs::file_time_type(std::chrono::seconds(1600000000));
    fs::last_write_time(scratch.file("src/folder/inner"), when);
    ASSERT_TRUE(copy(scratch.file("src"), "folder", scratch.file("dst"), "f").ok());
    EXPECT_EQ(readFile(scratch.file("dst/f/inner/x")), "x");
    EXPECT_EQ(fs::read_symlink(scratch.file("dst/f/up")), "../a");
    EXPECT_EQ(fs::last_write_time(scratch.file("dst/f/inner")), when);
    fs::create_symlink("a", scratch.file("src/link"));
    ASSERT_TRUE(copy(scratch.file("src"), "link", scratch.file("dst"), "kept").ok());
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

// A user's delete leaves a read-only file; removing what a run made takes it, if unchanged.
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
    EXPECT_EQ(files.remove(here, "locked", id(scratch.file("locked"))).error, "Read-only file");
    EXPECT_EQ(files.remove(here, "full", id(scratch.file("full"))).code, EISDIR);
    EXPECT_EQ(files.removeFolder(here, "full", id(scratch.file("full"))).code, ENOTEMPTY);
    EXPECT_TRUE(files.removeFolder(here, "empty", id(scratch.file("empty"))).ok());
    EXPECT_EQ(files.remove(here, "missing", {}).code, ENOENT);
    const EntryIdentity locked = id(scratch.file("locked"));
    ASSERT_EQ(chmod(scratch.file("locked").c_str(), 0400), 0);
    EXPECT_TRUE(files.removeMade(here, "locked", locked).ok());
    EXPECT_TRUE(files.removeMade(here, "full", id(scratch.file("full"))).ok());
    EXPECT_FALSE(fs::exists(scratch.file("full")));
}

TEST_F(FileActionsTest, MakeFolderReportsATakenNameAndAPrivateOneMustBeOwn) {
    fs::create_symlink("nowhere", scratch.file("dangling"));
    EXPECT_TRUE(files.exists(scratch.file("dangling")));
    EXPECT_FALSE(files.isFolder(scratch.file("dangling")));
    const OpenFolder here = open(scratch.folder());
    EXPECT_TRUE(files.makeFolder(here, "made").ok());
    EXPECT_EQ(files.makeFolder(here, "made").code, EEXIST);
    EXPECT_EQ(files.makeFolder(here, "dangling").code, EEXIST);
    EXPECT_EQ(files.makeFolder(here, "made", true).code, EEXIST);
    EXPECT_EQ(files.makeFolder(here, "dangling", true).code, EPERM);
    EXPECT_TRUE(files.makeFolder(here, "private", true).ok());
    EXPECT_EQ(fs::status(scratch.file("private")).permissions(), fs::perms::owner_all);
}

// A temporary copy names its run and step, so recovery takes only its own run's.
TEST(TemporaryName, NamesItsRunAndStep) {
    const std::string name = temporaryNameFor("20261209T051233.000001Z", 42);
    EXPECT_TRUE(isTemporaryName(name)) << name;
    const std::optional<TemporaryOwner> owner = temporaryOwnerOf(name);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->runId, "20261209T051233.000001Z");
    EXPECT_EQ(owner->index, 42u);
    EXPECT_TRUE(isTemporaryName(".kestrune-tmp-abcdef"));  // an older release's
    EXPECT_FALSE(temporaryOwnerOf(".kestrune-tmp-abcdef"));
    EXPECT_FALSE(isTemporaryName("x.kestrune-tmp-abcdef"));
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
