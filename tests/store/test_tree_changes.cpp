#include <gtest/gtest.h>

#include "store/settings_file.h"
#include "store/task_tree.h"
#include "store/tree_changes.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

// Group "Work" with "Downloads Cleanup" and its subtask "Old Logs"; a second group whose
// "Shared" task bears a name the doomed subtree uses as well.
constexpr const char* kTree =
    "All Tasks\r\n\tDesktop Tidy\r\nWork\r\n\tDownloads Cleanup\r\n\t\tOld Logs\r\n"
    "\t\tshared\r\n\tPhotos\r\nOther\r\n\tShared\r\n";
constexpr const char* kSettings =
    "[Settings]\r\nfrmx=10\r\n\r\n[Downloads Cleanup]\r\ns_folder=/home/u/Downloads\r\n"
    "filters = \"*.iso\" \r\n\r\n; kept by hand\r\n[Desktop Tidy]\r\nactions=1\r\n"
    "[Old Logs]\r\nfilters=*.log\r\n[Shared]\r\nactions=3\r\n[Photos]\r\nactions=2";

class TreeChangesTest : public test::ScratchTest {
  protected:
    void SetUp() override {
        writeFile(scratch.file("kestrune.dll"), kTree);
        tree.LoadTree(scratch.file("kestrune.dll"));
        writeFile(settings.path(), kSettings);
    }
    TreeNode* find(std::string_view text) const {
        for (TreeNode* node : tree.allNodes()) {
            if (node->text == text) return node;
        }
        return nullptr;
    }
    std::string outline() const { return treeText(tree.roots()); }
    std::string stored() const { return readFile(settings.path()); }

    TaskTree tree;
    SettingsFile settings{scratch.file("Setting.cfg")};
    TreeHistory history;
};

TEST_F(TreeChangesTest, UndoingAGroupDeleteBringsBackNodesAndRecordsByteForByte) {
    TreeNode* work = find("Work");
    history.perform(deleteChange(tree, settings, work));
    EXPECT_EQ(outline(), "All Tasks\r\n\tDesktop Tidy\r\nOther\r\n\tShared\r\n");
    EXPECT_FALSE(settings.sectionExists("Downloads Cleanup"));
    EXPECT_FALSE(settings.sectionExists("Photos"));
    EXPECT_TRUE(settings.sectionExists("Shared")) << "another node still names it";
    EXPECT_EQ(history.undoText(), "Delete \"Work\"");

    EXPECT_EQ(history.undo(), work);
    EXPECT_EQ(outline(), kTree);
    EXPECT_EQ(stored(), kSettings);
    EXPECT_EQ(history.redoText(), "Delete \"Work\"");

    history.redo();
    EXPECT_EQ(outline(), "All Tasks\r\n\tDesktop Tidy\r\nOther\r\n\tShared\r\n");
    history.undo();
    EXPECT_EQ(stored(), kSettings);
    EXPECT_EQ(find("Old Logs")->parent, find("Downloads Cleanup"));

    // "Photos" ended the file without a line end. Since the delete, the record before it has
    // grown and another ends the file: every line stays with its own record.
    history.redo();
    settings.writeString("Shared", "filters", "*.x");
    settings.writeString("Later", "k", "1");
    history.undo();
    EXPECT_EQ(settings.readString("Shared", "filters", ""), "*.x");
    EXPECT_EQ(settings.readString("Later", "k", ""), "1");
    EXPECT_EQ(settings.readString("Later", "actions", "-"), "-");
    EXPECT_EQ(settings.readInteger("Photos", "actions", 0), 2);
    EXPECT_EQ(settings.readString("Photos", "filters", "-"), "-");
    EXPECT_EQ(settings.readString("Old Logs", "filters", ""), "*.log");
    EXPECT_EQ(settings.readString("Downloads Cleanup", "filters", ""), "*.iso");
    EXPECT_EQ(settings.readInteger("Shared", "actions", 0), 3);
}

// Later writes move the erased records' places or touch their neighbours; nothing is lost.
TEST_F(TreeChangesTest, RecordsComeBackAfterTheFileChangedAroundThem) {
    history.perform(deleteChange(tree, settings, find("Old Logs")));
    settings.writeInteger("Settings", "frmy", 20);  // shifts every byte after it
    history.undo();
    EXPECT_EQ(settings.readString("Old Logs", "filters", ""), "*.log");
    EXPECT_EQ(settings.readInteger("Settings", "frmy", 0), 20);
    EXPECT_EQ(readFile(settings.path()).find("[Old Logs]"),
              std::string(kSettings).find("[Old Logs]") + 9);

    history.redo();
    settings.writeString("Desktop Tidy", "actions", "2");  // the line just before it
    settings.writeString("Shared", "actions", "1");        // the line just after it
    history.undo();
    EXPECT_EQ(settings.readString("Old Logs", "filters", ""), "*.log");
    EXPECT_EQ(settings.readString("Desktop Tidy", "actions", ""), "2");
    EXPECT_EQ(settings.readString("Shared", "actions", ""), "1");
}

// The renamed task was saved before the undo: its copy, changed since, stays, and the record
// before it (which ended the file) is left as it was.
TEST_F(TreeChangesTest, AnUndoneRenameLeavesACopyChangedSinceAndItsNeighbourWhole) {
    TreeNode* photos = find("Photos");
    history.perform(renameChange(tree, settings, photos, "Holiday"));
    settings.writeString("Holiday", "filters", "*.jpg");
    history.undo();
    EXPECT_EQ(photos->text, "Photos");
    EXPECT_EQ(settings.readInteger("Photos", "actions", 0), 2);
    EXPECT_EQ(settings.readString("Photos", "filters", "-"), "-");
    EXPECT_EQ(settings.readString("Holiday", "filters", ""), "*.jpg");
}

TEST_F(TreeChangesTest, AddDropAndRenameTakeBackAndRedoTheSameNodes) {
    tree.select(find("Photos"));
    history.perform(addChange(tree, settings, true));
    TreeNode* added = find("New Task 9");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(history.undoText(), "Add \"New Task 9\"");

    tree.select(added);
    history.perform(dropChange(tree, find("Other")));
    EXPECT_EQ(find("Other")->children.front().get(), added);

    history.perform(renameChange(tree, settings, find("Photos"), "Holiday"));
    EXPECT_EQ(settings.readString("Holiday", "actions", ""), "2");
    EXPECT_EQ(history.undoText(), "Rename \"Photos\"");

    history.undo();
    history.undo();
    history.undo();
    EXPECT_EQ(outline(), kTree);
    EXPECT_EQ(stored(), kSettings);
    EXPECT_FALSE(history.canUndo());

    history.redo();
    history.redo();
    EXPECT_EQ(find("Other")->children.front().get(), added) << "the very node, again";

    // A new change forgets what was taken back.
    history.perform(addChange(tree, settings, false));
    EXPECT_FALSE(history.canRedo());
}

// Moving a node further down its own list counts the row without the node.
TEST_F(TreeChangesTest, MovesWithinOneListLandAtTheRowAsked) {
    struct Case {
        int from;
        int to;
        std::string order;
    };
    for (const Case& c :
         {Case{0, 2, "BCA"}, Case{2, 0, "CAB"}, Case{1, 1, "ABC"}, Case{0, 9, "BCA"}}) {
        writeFile(scratch.file("kestrune.dll"), "A\r\nB\r\nC\r\n");
        tree.LoadTree(scratch.file("kestrune.dll"));
        tree.moveNode(tree.roots()[static_cast<std::size_t>(c.from)].get(), nullptr, c.to);
        std::string order;
        for (const auto& root : tree.roots()) order += root->text + std::to_string(root->row());
        std::string expected;
        for (std::size_t i = 0; i < c.order.size(); ++i)
            expected += c.order.substr(i, 1) + std::to_string(i);
        EXPECT_EQ(order, expected) << c.from << " to " << c.to;
    }
}

}  // namespace
}  // namespace kestrune
