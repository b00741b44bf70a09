#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/settings_file.h"
#include "store/task_tree.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

std::string outline(const TaskTree& tree) {
    std::string out;
    for (const TreeNode* node : tree.allNodes()) {
        out += std::string(static_cast<std::size_t>(node->level()), '.') + "[" + node->text + "]";
    }
    return out;
}

TreeNode* find(const TaskTree& tree, std::string_view text) {
    for (TreeNode* node : tree.allNodes()) {
        if (node->text == text) return node;
    }
    return nullptr;
}

class TaskTreeTest : public test::ScratchTest {
  protected:
    std::string treeFile() const { return scratch.file("kestrune.dll"); }
    void load(const std::string& content) {
        writeFile(treeFile(), content);
        tree.LoadTree(treeFile());
    }
    TaskTree tree;
    SettingsFile settings{scratch.file("Setting.cfg")};
};

TEST_F(TaskTreeTest, DefaultTreeSavesAsTheKnown26Bytes) {
    EXPECT_EQ(tree.TaskCount(), 1);
    tree.SaveTree(treeFile());
    EXPECT_EQ(readFile(treeFile()), "All Tasks\r\n\tDesktop Tidy\r\n");
    EXPECT_EQ(readFile(treeFile()).size(), 26u);
}

TEST_F(TaskTreeTest, EmptyTreeSavesAsAnEmptyFileAndLoadsBackEmpty) {
    load("");
    EXPECT_TRUE(tree.roots().empty());
    EXPECT_EQ(tree.TaskCount(), 0);
    tree.SaveTree(treeFile());
    EXPECT_EQ(readFile(treeFile()), "");
}

TEST_F(TaskTreeTest, AddsNodesWhereTheSelectionSays) {
    tree.AddTask(settings);
    EXPECT_EQ(outline(tree), "[All Tasks].[Desktop Tidy][New Task 2]");
    tree.select(find(tree, "Desktop Tidy"));
    tree.AddTask(settings);
    tree.AddSubtask(settings);
    EXPECT_EQ(outline(tree), "[All Tasks].[Desktop Tidy]..[New Task 4].[New Task 3][New Task 2]");
    tree.select(find(tree, "All Tasks"));
    const TreeNode* group = tree.AddTask(settings);
    EXPECT_EQ(group->parent, nullptr);
    EXPECT_EQ(tree.selected(), find(tree, "All Tasks"));
    EXPECT_EQ(tree.TaskCount(), 3);
}

TEST_F(TaskTreeTest, NewTaskNameSkipsNamesAlreadyInUse) {
    tree.select(find(tree, "All Tasks"));
    TreeNode* added = tree.AddSubtask(settings);
    EXPECT_EQ(added->text, "New Task 2");
    tree.select(added);
    tree.DeleteSelected(settings);
    EXPECT_EQ(tree.AddTask(settings)->text, "New Task 2");
    load("A\r\n\tnew task 3\r\n\tNew Task 4\r\n");
    EXPECT_EQ(tree.NewTaskName(settings), "New Task 5");
}

// A name with a record of its own would hand the new node another task's settings.
TEST_F(TaskTreeTest, NewTaskNamePassesOverNamesThatHaveARecord) {
    writeFile(settings.path(),
              "[new task 2]\nactions=3\n[New Task 3]\n[New Task 4]\n[NEW TASK 3]\ns_folder=/x\n");
    // "New Task 3" has only a bare header first, so no record.
    EXPECT_EQ(tree.NewTaskName(settings), "New Task 3");
    tree.select(find(tree, "All Tasks"));
    EXPECT_EQ(tree.AddSubtask(settings)->text, "New Task 3");
    EXPECT_EQ(tree.AddSubtask(settings)->text, "New Task 4");
}

TEST_F(TaskTreeTest, DeleteErasesRecordsInPreOrderThenTheNodesOwn) {
    load("Root\r\n\tA\r\n\t\tA1\r\n\tB\r\nOther\r\n");
    for (const char* name : {"Root", "A", "A1", "B", "Other"}) {
        settings.writeString(name, "s_folder", name);
    }
    tree.select(find(tree, "Root"));
    tree.DeleteSelected(settings);
    EXPECT_EQ(outline(tree), "[Other]");
    EXPECT_EQ(tree.selected(), nullptr);
    EXPECT_EQ(readFile(settings.path()), "[Other]\ns_folder=Other\n");
}

TEST_F(TaskTreeTest, DeleteKeepsARecordThatAnotherNodeStillNames) {
    load("G\r\n\tShared\r\n\tX\r\n\t\tshared\r\nH\r\n\tX\r\n");
    settings.writeString("Shared", "s_folder", "keep me");
    settings.writeString("X", "s_folder", "keep me too");
    tree.select(find(tree, "X"));
    tree.DeleteSelected(settings);
    EXPECT_EQ(outline(tree), "[G].[Shared][H].[X]");
    EXPECT_EQ(settings.readString("Shared", "s_folder", ""), "keep me");
    EXPECT_EQ(settings.readString("X", "s_folder", ""), "keep me too");
    tree.select(find(tree, "X"));
    tree.DeleteSelected(settings);
    EXPECT_FALSE(settings.sectionExists("X"));
}

// Stands in for a settings file that can be read but, after `allowed` replaces, no longer
// replaced.
class ReadOnlyDisk : public FileIo {
  public:
    explicit ReadOnlyDisk(int allowed = 0) : allowed_(allowed) {}
    FileContent read(const std::string& path) const override { return systemFileIo().read(path); }
    std::string replace(const std::string& path, std::string_view content) const override {
        if (allowed_-- > 0) return systemFileIo().replace(path, content);
        return "Read-only file system";
    }

  private:
    mutable int allowed_;
};

TEST_F(TaskTreeTest, AFailedEraseLeavesTheSubtreeAndTheFileAsTheyWere) {
    load("G\r\n\tA\r\n\t\tA1\r\n\tB\r\n");
    const std::string content = "[A]\ns_folder=x\n[A1]\ns_folder=y\n[B]\ns_folder=z\n[G]\nk=1\n";
    writeFile(settings.path(), content);
    const ReadOnlyDisk disk;
    SettingsFile readOnly(settings.path(), disk);
    tree.select(find(tree, "G"));
    EXPECT_THROW(tree.DeleteSelected(readOnly), SettingsWriteError);
    EXPECT_EQ(outline(tree), "[G].[A]..[A1].[B]");
    EXPECT_EQ(tree.selected(), find(tree, "G"));
    EXPECT_EQ(readFile(settings.path()), content);

    // A disk that fails after one replace: all the records go in that one.
    const ReadOnlyDisk failsLater(1);
    SettingsFile onceMore(settings.path(), failsLater);
    tree.DeleteSelected(onceMore);
    EXPECT_TRUE(tree.roots().empty());
    EXPECT_EQ(readFile(settings.path()), "");
}

// The tree control's rename: another node's name would write this task over that one.
TEST_F(TaskTreeTest, RenameInPlaceRefusesAnotherNodesNameAndCarriesTheRecordWhole) {
    load("G\r\n\tDesktop Tidy\r\n\tNew Task 2\r\n\tPlain\r\n");
    const std::string content =
        "[Desktop Tidy]\ns_folder=/home/me/Desktop\nactions=3\nfilters=*.*\n"
        "[New Task 2]\ns_folder=/home/me/Downloads\nactions=1\nfilters=*.pdf\n"
        "[Stale]\nt_folder=/old\nfolderstruct=1\n";
    writeFile(settings.path(), content);
    TreeNode* tidy = find(tree, "Desktop Tidy");
    try {
        tree.renameInPlace(settings, tidy, "new task 2");
        FAIL() << "the rename should have been refused";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), tree.renameProblem(tidy, "new task 2"));
        EXPECT_NE(std::string(error.what()).find("new task 2"), std::string::npos);
    }
    EXPECT_THROW(tree.renameInPlace(settings, tidy, " lead"), Error);
    EXPECT_EQ(tidy->text, "Desktop Tidy");
    EXPECT_EQ(readFile(settings.path()), content);

    // A stale record under the new name gives way to this task's, whole.
    tree.renameInPlace(settings, tidy, "stale");
    EXPECT_EQ(tidy->text, "stale");
    EXPECT_EQ(settings.readString("Stale", "s_folder", ""), "/home/me/Desktop");
    EXPECT_EQ(settings.readString("Stale", "t_folder", "-"), "-");
    EXPECT_FALSE(settings.readBool("Stale", "folderstruct", false));
    EXPECT_EQ(settings.readString("Desktop Tidy", "filters", ""), "*.*");
    // A node without a record takes the name alone; a change of case keeps its own record.
    tree.renameInPlace(settings, find(tree, "Plain"), "Desktop Tidy");
    tree.renameInPlace(settings, tidy, "STALE");
    EXPECT_EQ(settings.readString("Desktop Tidy", "actions", ""), "3");
    EXPECT_EQ(settings.readString("stale", "actions", ""), "3");
}

TEST_F(TaskTreeTest, DropRefusesItselfItsDescendantsAndOutsideDrags) {
    load("R\r\n\tA\r\n\t\tA1\r\n\tB\r\n");
    tree.select(find(tree, "A"));
    EXPECT_FALSE(tree.AcceptDrop(true, find(tree, "A")));
    EXPECT_FALSE(tree.AcceptDrop(true, find(tree, "A1")));
    EXPECT_FALSE(tree.AcceptDrop(true, nullptr));
    EXPECT_FALSE(tree.AcceptDrop(false, find(tree, "B")));
    EXPECT_TRUE(tree.AcceptDrop(true, find(tree, "R")));
    tree.DropOnNode(find(tree, "A1"));
    EXPECT_EQ(outline(tree), "[R].[A]..[A1].[B]");
}

TEST_F(TaskTreeTest, DropMakesTheNodeTheTargetsFirstChild) {
    load("R\r\n\tA\r\n\t\tA1\r\n\tB\r\nS\r\n");
    tree.select(find(tree, "B"));
    tree.DropOnNode(find(tree, "R"));
    EXPECT_EQ(outline(tree), "[R].[B].[A]..[A1][S]");
    EXPECT_EQ(tree.selected(), find(tree, "R"));
    tree.select(find(tree, "S"));
    tree.DropOnNode(find(tree, "A1"));
    EXPECT_EQ(outline(tree), "[R].[B].[A]..[A1]...[S]");
    EXPECT_EQ(find(tree, "S")->row(), 0);
    EXPECT_EQ(find(tree, "A")->row(), 1);
    EXPECT_EQ(tree.TaskCount(), 4);
}

TEST_F(TaskTreeTest, AFailedLoadLeavesTheTreeAsItWas) {
    writeFile(treeFile(), "A\r\n\t\tB\r\n");
    try {
        tree.LoadTree(treeFile());
        FAIL() << "the load should have failed";
    } catch (const TreeFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Invalid level (2) for item \"B\"");
    }
    EXPECT_EQ(outline(tree), "[All Tasks].[Desktop Tidy]");
    std::filesystem::remove(treeFile());
    std::filesystem::create_directory(treeFile());
    try {
        tree.LoadTree(treeFile());
        FAIL() << "the load should have failed";
    } catch (const TreeFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + treeFile() + "\". Is a directory");
    }
    // Only a missing file leaves the default tree; a folder in its place is refused.
    EXPECT_THROW(tree.LoadTreeIfPresent(treeFile()), TreeFileError);
    std::filesystem::remove(treeFile());
    EXPECT_FALSE(tree.LoadTreeIfPresent(treeFile()));
    EXPECT_EQ(outline(tree), "[All Tasks].[Desktop Tidy]");
}

TEST_F(TaskTreeTest, AFailedSaveLeavesTheOldFileAndRaises) {
    writeFile(treeFile(), "Old\r\n");
    const ReadOnlyDisk disk;
    tree.setFileIo(disk);
    try {
        tree.SaveTree(treeFile());
        FAIL() << "the save should have failed";
    } catch (const TreeFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create file \"" + treeFile() + "\". Read-only file system");
    }
    EXPECT_EQ(readFile(treeFile()), "Old\r\n");
}

TEST_F(TaskTreeTest, SaveOverAFolderFails) {
    std::filesystem::create_directory(treeFile());
    EXPECT_THROW(tree.SaveTree(treeFile()), TreeFileError);
    EXPECT_TRUE(std::filesystem::is_directory(treeFile()));
}

// Records every call as a line, so that the order of begin and end shows.
class Recorder : public TreeObserver {
  public:
    std::string log;
    void beginInsert(TreeNode* parent, int row) override {
        log += "beginInsert " + name(parent) + " " + std::to_string(row) + "\n";
    }
    void endInsert() override { log += "endInsert\n"; }
    void beginRemove(TreeNode* parent, int row) override {
        log += "beginRemove " + name(parent) + " " + std::to_string(row) + "\n";
    }
    void endRemove() override { log += "endRemove\n"; }
    void beginMove(TreeNode* from, int fromRow, TreeNode* to, int toRow) override {
        log += "beginMove " + name(from) + " " + std::to_string(fromRow) + " " + name(to) + " " +
               std::to_string(toRow) + "\n";
    }
    void endMove() override { log += "endMove\n"; }
    void textChanged(TreeNode* node) override { log += "textChanged " + name(node) + "\n"; }
    void beginReset() override { log += "beginReset\n"; }
    void endReset() override { log += "endReset\n"; }

  private:
    static std::string name(const TreeNode* node) { return node ? node->text : "(roots)"; }
};

TEST_F(TaskTreeTest, TellsTheObserverOfEveryChange) {
    Recorder recorder;
    tree.setObserver(&recorder);
    tree.AddTask(settings);
    tree.select(find(tree, "Desktop Tidy"));
    tree.AddSubtask(settings);
    tree.rename(find(tree, "New Task 3"), "Renamed");
    tree.select(find(tree, "New Task 2"));
    tree.DropOnNode(find(tree, "All Tasks"));
    tree.select(find(tree, "Desktop Tidy"));
    tree.DeleteSelected(settings);
    load("X\r\n");
    EXPECT_EQ(recorder.log,
              "beginInsert (roots) 1\nendInsert\n"
              "beginInsert Desktop Tidy 0\nendInsert\n"
              "textChanged Renamed\n"
              "beginMove (roots) 1 All Tasks 0\nendMove\n"
              "beginRemove All Tasks 1\nendRemove\n"
              "beginReset\nendReset\n");
}

TEST_F(TaskTreeTest, DropOnTheParentOfAFirstChildMovesNothing) {
    Recorder recorder;
    tree.setObserver(&recorder);
    tree.select(find(tree, "Desktop Tidy"));
    tree.DropOnNode(find(tree, "All Tasks"));
    EXPECT_EQ(recorder.log, "");
    EXPECT_EQ(tree.selected(), find(tree, "All Tasks"));
}

TEST(TaskName, RefusesNamesTheFilesCannotHold) {
    EXPECT_EQ(taskNameProblem("Desktop Tidy"), "");
    EXPECT_EQ(taskNameProblem("Tidy [old]x"), "A task name cannot contain \"]\".");
    for (const char* bad : {"", " lead", "trail ", "tab\there", "line\nbreak", "cr\r", "\x1f",
                            "Settings", "SETTINGS", "settings", "a]"}) {
        EXPECT_NE(taskNameProblem(bad), "") << '"' << bad << '"';
    }
    EXPECT_NE(taskNameProblem(std::string_view("nul\0", 4)), "");
    EXPECT_EQ(taskNameProblem("My Settings"), "");
}

}  // namespace
}  // namespace kestrune
