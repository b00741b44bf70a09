// Symbolic links, fifos, mount points and devices in a walk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/plan/folder_walk.h"
#include "run/tree_helpers.h"

namespace kestrune {
namespace {

using test::foldersBelow;
using test::makeFile;
using test::selectedBelow;
using Paths = std::vector<std::string>;

class FolderWalkPosix : public test::ScratchTest {
  protected:
    std::string root() const { return scratch.folder() + "in/"; }
    WalkResult walk(std::int32_t depthCode, const std::string& filters) const {
        return walkAndSelect({root(), depthCode, {}}, FilterPieces(filters));
    }
    void makeChain() const {
        for (const char* path : {"f.txt", "A/f.txt", "A/B/f.txt", "A/B/C/f.txt"}) {
            makeFile(root() + path);
        }
    }
};

TEST_F(FolderWalkPosix, SymbolicLinksAreSelectedButNeverEntered) {
    makeFile(scratch.folder() + "elsewhere/deep.txt");
    makeFile(root() + "keep");
    ASSERT_EQ(symlink((scratch.folder() + "elsewhere").c_str(), (root() + "link").c_str()), 0);
    ASSERT_EQ(symlink("missing", (root() + "dangling.txt").c_str()), 0);
    const WalkResult result = walk(0, "*.txt;*");
    EXPECT_EQ(foldersBelow(result, root()), (Paths{""}));
    EXPECT_EQ(selectedBelow(result, root()), (Paths{"dangling.txt", "keep", "link"}));
}

TEST_F(FolderWalkPosix, FifosAreNeverSelected) {
    makeFile(root() + "a.txt");
    ASSERT_EQ(mkfifo((root() + "pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(selectedBelow(walk(0, "*.*"), root()), (Paths{"a.txt"}));
}

// /dev/shm is its own file system mounted inside /dev, and /dev holds device files.
TEST(FolderWalkMounts, MountPointsAreNotEnteredAndDevicesNotSelected) {
    struct stat dev {
    }, shm{};
    if (stat("/dev", &dev) != 0 || stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a mount point below /dev on this machine";
    }
    const WalkResult result = walkAndSelect({"/dev/", 2, {}}, FilterPieces("*;*.*"));
    for (const auto& folder : result.folders) EXPECT_NE(folder, "/dev/shm/");
    for (const auto& entry : result.selection) {
        struct stat st {};
        ASSERT_EQ(lstat(result.path(entry).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode))
            << result.path(entry);
    }
}

}  // namespace
}  // namespace kestrune
