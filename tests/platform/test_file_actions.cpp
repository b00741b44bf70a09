#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_actions.h"
#include "platform/file_actions_test.h"
#include "platform/temporary_name.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::entriesIn;
using test::FileActionsTest;
using test::makeFile;
using test::pathOf;
using test::readFile;
using test::writeFile;

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

TEST_F(FileActionsTest, CopyKeepsContentAndModificationTimeAndLeavesNoTemporary) {
    makeFile(scratch.file("src/a"), std::string(300000, 'x'));
    fs::create_directories(pathOf(scratch.file("dst")));
    // Whole seconds: Windows' C runtime sets no finer times.
    const auto when = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                               std::chrono::hours(24 * 400));
    fs::last_write_time(pathOf(scratch.file("src/a")), when);
    ASSERT_TRUE(copy(scratch.file("src"), "a", scratch.file("dst"), "a").ok());
    EXPECT_EQ(readFile(scratch.file("dst/a")), std::string(300000, 'x'));
    EXPECT_EQ(fs::last_write_time(pathOf(scratch.file("dst/a"))), when);
    EXPECT_EQ(entriesIn(scratch.file("dst")), 1u);
}

TEST_F(FileActionsTest, CopyRefusesTakenNamesAndTakesFoldersWhole) {
    makeFile(scratch.file("src/a"), "new");
    makeFile(scratch.file("dst/a"), "old");
    EXPECT_EQ(copy(scratch.file("src"), "a", scratch.file("dst"), "a").code, EEXIST);
    EXPECT_EQ(readFile(scratch.file("dst/a")), "old");
    makeFile(scratch.file("src/folder/inner/x"), "x");
    ASSERT_TRUE(copy(scratch.file("src"), "folder", scratch.file("dst"), "f").ok());
    EXPECT_EQ(readFile(scratch.file("dst/f/inner/x")), "x");
    EXPECT_EQ(entriesIn(scratch.file("dst")), 2u);
}

// A user's delete leaves a read-only file; removing what a run made takes it, if unchanged.
TEST_F(FileActionsTest, RemoveTakesFilesButNotFoldersOrReadOnlyFiles) {
    writeFile(scratch.file("file"), "f");
    writeFile(scratch.file("locked"), "l");
    test::makeReadOnly(scratch.file("locked"));
    makeFile(scratch.file("full/x"), "x");
    test::makeReadOnly(scratch.file("full/x"));
    fs::create_directories(pathOf(scratch.file("empty")));
    const OpenFolder here = open(scratch.folder());
    EXPECT_TRUE(files.remove(here, "file", id(scratch.file("file"))).ok());
    EXPECT_FALSE(fs::exists(pathOf(scratch.file("file"))));
    EXPECT_EQ(files.remove(here, "locked", id(scratch.file("locked"))).error, "Read-only file");
    EXPECT_EQ(files.remove(here, "full", id(scratch.file("full"))).code, EISDIR);
    EXPECT_EQ(files.removeFolder(here, "full", id(scratch.file("full"))).code, ENOTEMPTY);
    EXPECT_TRUE(files.removeFolder(here, "empty", id(scratch.file("empty"))).ok());
    EXPECT_EQ(files.remove(here, "missing", {}).code, ENOENT);
    EXPECT_TRUE(files.removeMade(here, "locked", id(scratch.file("locked"))).ok());
    EXPECT_TRUE(files.removeMade(here, "full", id(scratch.file("full"))).ok());
    EXPECT_FALSE(fs::exists(pathOf(scratch.file("full"))));
    EXPECT_FALSE(fs::exists(pathOf(scratch.file("locked"))));
}

TEST_F(FileActionsTest, MakeFolderReportsATakenNameAndAPrivateOneMustBeOwn) {
    const OpenFolder here = open(scratch.folder());
    EXPECT_TRUE(files.makeFolder(here, "made").ok());
    EXPECT_EQ(files.makeFolder(here, "made").code, EEXIST);
    EXPECT_EQ(files.makeFolder(here, "made", true).code, EEXIST);
    EXPECT_TRUE(files.makeFolder(here, "private", true).ok());
    EXPECT_EQ(files.makeFolder(here, "private", true).code, EEXIST);
    writeFile(scratch.file("file"), "");
    EXPECT_EQ(files.makeFolder(here, "file", true).code, EPERM);
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

}  // namespace
}  // namespace kestrune
