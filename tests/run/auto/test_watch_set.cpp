#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run/auto/watch_set.h"
#include "run/tree_helpers.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

class WatchSetTest : public test::ScratchTest {
  protected:
    std::string root() const { return scratch.folder() + "in/"; }
    // The folders below the root, sorted, each without the root's folder part.
    Paths below(Paths folders) const {
        for (auto& folder : folders) folder = folder.substr(root().size());
        std::sort(folders.begin(), folders.end());
        return folders;
    }
    WatchSet set;
};

TEST_F(WatchSetTest, FollowsTheWalkWithinItsDepthAsFoldersComeAndGo) {
    for (const char* folder : {"a/b/c", ".hidden", "target"})
        fs::create_directories(root() + folder);
    FolderId target;
    ASSERT_TRUE(folderIdentity(root() + "target", target));
    WatchChanges changes = set.setTask("t", {root(), 3, target});
    EXPECT_EQ(below(changes.watch), (Paths{"", "a/", "a/b/"}));

    fs::create_directories(scratch.file("tree/sub/deeper"));
    fs::rename(scratch.file("tree"), root() + "tree");
    EXPECT_EQ(below(set.folderAppeared(root(), "tree").watch), (Paths{"tree/", "tree/sub/"}));
    fs::create_directories(root() + "a/b/too-deep");
    fs::create_directories(root() + ".new");
    EXPECT_TRUE(set.folderAppeared(root() + "a/b/", "too-deep").watch.empty());
    EXPECT_TRUE(set.folderAppeared(root(), ".new").watch.empty());
    EXPECT_TRUE(set.folderAppeared(root(), "gone-already").watch.empty());

    changes = set.folderGone(root() + "a/");
    EXPECT_EQ(below(changes.unwatch), (Paths{"a/", "a/b/"}));
    EXPECT_EQ(set.size(), 3u);
}

TEST_F(WatchSetTest, FolderOfTwoTasksIsWatchedOnceUntilTheLastLeaves) {
    fs::create_directories(root() + "a");
    EXPECT_EQ(set.setTask("one", {root(), 0, {}}).watch.size(), 2u);
    EXPECT_EQ(set.setTask("two", {root(), 1, {}}).watch.size(), 0u);
    EXPECT_EQ(set.tasksWatching(root()), (Paths{"one", "two"}));
    EXPECT_EQ(set.tasksWatching(root() + "a/"), (Paths{"one"}));

    const WatchChanges again = set.setTask("one", {root(), 0, {}});
    EXPECT_TRUE(again.watch.empty() && again.unwatch.empty());
    EXPECT_EQ(below(set.removeTask("one").unwatch), (Paths{"a/"}));
    EXPECT_EQ(below(set.removeTask("two").unwatch), (Paths{""}));
    EXPECT_EQ(set.size(), 0u);
}

}  // namespace
}  // namespace kestrune
