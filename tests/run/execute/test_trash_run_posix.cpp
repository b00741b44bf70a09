// The freedesktop trash: $XDG_DATA_HOME, user ids, tmpfs mounts, symbolic links, trash-cli.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>

#include "platform/trash.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_undo.h"
#include "run/plan/run_planner.h"
#include "support/scratch_dir.h"
#include "support/trash_cli.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

const std::string kUid = std::to_string(getuid());

// Another file system inside the scratch folder, where the tests may mount one.
class MountedVolume {
  public:
    explicit MountedVolume(const std::string& at) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::mount("kestrune-test", at.c_str(), "tmpfs", 0, "size=8m") == 0;
    }
    ~MountedVolume() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;
    bool mounted() const { return mounted_; }

  private:
    std::string at_;
    bool mounted_ = false;
};

std::string pathLine(const std::string& info) {
    std::smatch match;
    const std::string content = readFile(info);
    return std::regex_search(content, match, std::regex("Path=([^\n]*)\n")) ? match[1].str() : "";
}

// Each step's outcome as the run told it.
class Outcomes : public ExecutionObserver {
  public:
    bool stepDone(std::size_t /*index*/, const StepResult& result) override {
        results.push_back(result);
        return true;
    }
    std::vector<StepResult> results;
};

// Trash tasks run journaled, as a user runs them, into a home trash in the scratch folder.
class TrashRun : public test::ScratchTest {
  protected:
    std::string home() const { return scratch.file("data/Trash"); }
    std::string state() const { return scratch.file("state"); }
    // Depth 1: the source folder alone is searched; 0: every folder below it.
    std::vector<StepResult> trash(const std::string& folder, const std::string& filters,
                                  int depth = 1) {
        const RunPlan plan = planRecord({folder, "", 4, depth, filters, false}, "Trash");
        EXPECT_TRUE(plan.error.empty()) << plan.error;
        Outcomes heard;
        ExecuteOptions options;
        options.observer = &heard;
        runJournaled(plan, state(), options, kDefaultHistorySize);
        return heard.results;
    }
    std::vector<StepResult> undo() {
        Outcomes heard;
        ExecuteOptions options;
        options.observer = &heard;
        runUndo(planUndoOf(state()), state(), options, kDefaultHistorySize);
        return heard.results;
    }
    const test::ScopedVariable data{"XDG_DATA_HOME", scratch.file("data")};
};

TEST_F(TrashRun, HomeTrashTakesFilesLinksAndFoldersAndUndoGivesThemBack) {
    const std::string odd = scratch.file("in/a b%\xc3\xbc.txt");
    makeFile(odd, "first");
    fs::create_symlink("nowhere", scratch.file("in/link.txt"));
    makeFile(scratch.file("in/folder.txt/inner/deep"), "deep");
    makeFile(home() + "/files/a b%\xc3\xbc.txt", "trashed before");
    makeFile(home() + "/info/a b%\xc3\xbc.txt.trashinfo", "[Trash Info]\nPath=/x\n");

    const std::vector<StepResult> put = trash(scratch.file("in"), "*.txt");
    ASSERT_EQ(put.size(), 3u);
    // The same name in the trash gets a name of its own; nothing in the trash is replaced.
    EXPECT_EQ(put[0].target, home() + "/files/a b%\xc3\xbc_2.txt");
    EXPECT_EQ(readFile(put[0].target), "first");
    EXPECT_EQ(readFile(home() + "/files/a b%\xc3\xbc.txt"), "trashed before");
    const std::string info = home() + "/info/a b%\xc3\xbc_2.txt.trashinfo";
    EXPECT_TRUE(std::regex_match(
        readFile(info),
        std::regex("\\[Trash Info\\]\nPath=[^\n]*\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:"
                   "\\d\\d:\\d\\d\n")));
    EXPECT_EQ(pathLine(info), scratch.path().string() + "/in/a%20b%25%C3%BC.txt");
    EXPECT_EQ(readFile(put[1].target + "/inner/deep"), "deep");
    EXPECT_TRUE(fs::is_symlink(put[2].target));

    // Back only where the original path is free; a refused entry stays in the trash.
    makeFile(odd, "taken");
    const std::vector<StepResult> back = undo();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].error, "the path is taken since the run");  // undone newest first
    EXPECT_EQ(readFile(odd), "taken");
    EXPECT_EQ(readFile(put[0].target), "first");
    EXPECT_TRUE(fs::exists(info));
    EXPECT_EQ(fs::read_symlink(scratch.file("in/link.txt")), "nowhere");
    EXPECT_EQ(readFile(scratch.file("in/folder.txt/inner/deep")), "deep");
    EXPECT_FALSE(fs::exists(home() + "/info/link.txt.trashinfo"));
    // What is left to undo is undone by the next undo, once the path is free.
    fs::remove(odd);
    ASSERT_EQ(undo().size(), 1u);
    EXPECT_EQ(readFile(odd), "first");
    EXPECT_FALSE(fs::exists(info));
}

// The folder an entry was trashed from may be gone: the undo makes it again.
TEST_F(TrashRun, UndoMakesAgainTheFolderATrashedEntryCameFrom) {
    makeFile(scratch.file("in/gone/x.txt"), "x");
    ASSERT_EQ(trash(scratch.file("in"), "*.txt;gone", 0).size(), 2u);  // gone/ merged, removed
    EXPECT_FALSE(fs::exists(scratch.file("in/gone")));
    undo();
    EXPECT_EQ(readFile(scratch.file("in/gone/x.txt")), "x");
}

// Which trash an entry on another file system goes to, as the volume's top folder allows;
// where none can be used, the home trash takes it by a copy, file or folder.
TEST_F(TrashRun, AnotherFileSystemUsesItsTopFolderTrashOrTheHomeTrashByCopy) {
    struct Case {
        const char* what;
        std::function<void(const std::string& top)> prepare;
        std::string trashFolder;  // relative to the top folder; empty: the home trash
    };
    const std::vector<Case> cases = {
        {"nothing there", [](const std::string&) {}, ".Trash-" + kUid},
        {"a sticky .Trash",
         [](const std::string& top) {
             fs::create_directory(top + "/.Trash");
             ::chmod((top + "/.Trash").c_str(), 01777);
         },
         ".Trash/" + kUid},
        {"a .Trash without the sticky bit",
         [](const std::string& top) { fs::create_directory(top + "/.Trash"); }, ".Trash-" + kUid},
        {"a .Trash-uid that is a link",
         [](const std::string& top) {
             fs::create_directory(top + "/elsewhere");
             fs::create_directory_symlink(top + "/elsewhere", top + "/.Trash-" + kUid);
         },
         ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string top = scratch.file("volume" + std::to_string(n++));
        MountedVolume volume(top);
        if (!volume.mounted()) GTEST_SKIP() << "cannot mount a file system here (needs root)";
        c.prepare(top);
        makeFile(top + "/sub/folder.x/file", "content");
        makeFile(top + "/sub/single.x", "single");
        ::chmod((top + "/sub/folder.x/file").c_str(), 0640);
        const auto when = fs::file_time_type(std::chrono::seconds(1500000000));
        fs::last_write_time(top + "/sub/folder.x", when);

        const std::vector<StepResult> put = trash(top + "/sub", "*.x");
        ASSERT_EQ(put.size(), 2u);
        const std::string folder = c.trashFolder.empty() ? home() : top + "/" + c.trashFolder;
        EXPECT_EQ(put[0].target, folder + "/files/folder.x") << put[0].error;
        EXPECT_EQ(put[1].target, folder + "/files/single.x") << put[1].error;
        EXPECT_EQ(pathLine(folder + "/info/folder.x.trashinfo"),
                  c.trashFolder.empty() ? top + "/sub/folder.x" : "sub/folder.x");
        EXPECT_FALSE(fs::exists(top + "/sub/folder.x"));
        EXPECT_FALSE(fs::exists(top + "/sub/single.x"));
        EXPECT_EQ(readFile(put[0].target + "/file"), "content");

        const std::vector<StepResult> back = undo();
        ASSERT_EQ(back.size(), 2u);
        EXPECT_EQ(back[1].status, StepStatus::Done) << back[1].error;
        EXPECT_EQ(readFile(top + "/sub/folder.x/file"), "content");
        EXPECT_EQ(readFile(top + "/sub/single.x"), "single");
        EXPECT_EQ(fs::status(top + "/sub/folder.x/file").permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(fs::last_write_time(top + "/sub/folder.x"), when);
        EXPECT_FALSE(fs::exists(put[0].target));
        EXPECT_FALSE(fs::exists(folder + "/info/folder.x.trashinfo"));
    }
}

// A task's folder reached through a link, and a home trash behind a linked folder, as many
// users keep ~/Downloads on another disk: the run, its trash and its undo all work.
TEST_F(TrashRun, LinksAtTheRootsAreFollowedAndBelowThemNever) {
    makeFile(scratch.file("disk/Downloads/a.txt"), "a");
    fs::create_directory_symlink(scratch.file("disk/Downloads"), scratch.file("Downloads"));
    fs::create_directories(scratch.file("elsewhere"));
    fs::create_directory_symlink(scratch.file("elsewhere"), scratch.file("data"));
    const std::vector<StepResult> put = trash(scratch.file("Downloads"), "*.txt");
    ASSERT_EQ(put.size(), 1u);
    EXPECT_EQ(put[0].status, StepStatus::Done) << put[0].error;
    EXPECT_EQ(readFile(scratch.file("elsewhere/Trash/files/a.txt")), "a");
    EXPECT_EQ(pathLine(scratch.file("elsewhere/Trash/info/a.txt.trashinfo")),
              scratch.path().string() + "/disk/Downloads/a.txt");
    const std::vector<StepResult> back = undo();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].status, StepStatus::Done) << back[0].error;
    EXPECT_EQ(readFile(scratch.file("disk/Downloads/a.txt")), "a");
}

// The desktop's own tools must see what we trash and put it back, from the home trash and,
// where a file system can be mounted for the test, from a top-folder trash.
TEST_F(TrashRun, TrashCliListsAndRestoresWhatWasTrashed) {
    if (!test::trashCliPresent()) {
        GTEST_SKIP() << "trash-cli is not installed: scripts/install-deps brings it";
    }
    MountedVolume volume(scratch.file("volume"));
    std::vector<std::string> folders = {scratch.file("to do")};
    if (volume.mounted()) folders.push_back(scratch.file("volume/to do"));
    const std::string dataHome = scratch.file("data");
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const std::string odd = folder + "/n\xc3\xa4me %1.txt";
        makeFile(odd, "keep me");
        const std::vector<StepResult> put = trash(folder, "*.txt");
        ASSERT_EQ(put.size(), 1u);
        const std::string listed = test::trashList(dataHome);
        EXPECT_TRUE(std::regex_search(
            listed, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d " +
                               std::regex_replace(odd, std::regex("[.%]"), "\\$&"))))
            << listed;

        const std::string restore = "cd '" + folder + "' && echo 0 | " +
                                    test::trashCliEnvironment(dataHome) +
                                    "trash-restore >/dev/null";
        ASSERT_EQ(std::system(restore.c_str()), 0);
        EXPECT_EQ(readFile(odd), "keep me");
        EXPECT_FALSE(fs::exists(put[0].target));
    }
}

}  // namespace
}  // namespace kestrune
