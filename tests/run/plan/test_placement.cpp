#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_actions.h"
#include "run/plan/placement.h"
#include "run/tree_helpers.h"
#include "support/forwarding_files.h"

namespace kestrune {
namespace {

using test::makeFile;

// The system's file actions, noting every path asked about.
class AskedFiles : public test::ForwardingFiles {
  public:
    bool exists(const std::string& path) override {
        asked.push_back(path);
        return system.exists(path);
    }

    std::vector<std::string> asked;
};

std::optional<std::string> placed(Placement& placement, const std::string& relative,
                                  const std::string& name) {
    std::string target = "left from before";
    PlacedName how;
    if (!placement.place({relative, "", name, 0, 0}, target, how)) return std::nullopt;
    return target;
}

// Parts that can be foreseen: P1 for an entry's first draw, P2 for its second, and so on.
class CountingNames : public NameSource {
  public:
    std::string part(std::uint64_t /*seed*/, std::uint32_t draw) override {
        ++drawn;
        return "P" + std::to_string(draw + 1);
    }
    int drawn = 0;
};

// Always the same part.
class StuckNames : public NameSource {
  public:
    std::string part(std::uint64_t /*seed*/, std::uint32_t /*draw*/) override { return "X"; }
};

class PlacementTest : public test::ScratchTest {
  protected:
    std::string target() const { return scratch.file("Sorted"); }
    AskedFiles files;
    CountingNames names;
};

TEST_F(PlacementTest, FolderThatIsNotThereIsAskedAboutOnceForAllItsEntries) {
    Placement placement(files, names, target(), false);
    EXPECT_EQ(placed(placement, "/Notes/", "a.txt"), target() + "/Notes/a.txt");
    EXPECT_EQ(placed(placement, "/Notes/", "b.txt"), target() + "/Notes/b.txt");
    EXPECT_EQ(placed(placement, "/Old/", "a.txt"), target() + "/Old/a.txt");
    EXPECT_EQ(files.asked, (std::vector<std::string>{target() + "/Notes/", target() + "/Old/"}));
    EXPECT_EQ(names.drawn, 0);
}

TEST_F(PlacementTest, NameTakenOnDiskGetsARandomPart) {
    makeFile(target() + "/Notes/a.txt");
    makeFile(target() + "/Notes/P1_a.txt");
    Placement placement(files, names, target(), false);
    EXPECT_EQ(placed(placement, "/Notes/", "a.txt"), target() + "/Notes/P2_a.txt");
    EXPECT_EQ(placed(placement, "/Notes/", "b.txt"), target() + "/Notes/b.txt");
    EXPECT_EQ(files.asked,
              (std::vector<std::string>{target() + "/Notes/", target() + "/Notes/a.txt",
                                        target() + "/Notes/P1_a.txt", target() + "/Notes/P2_a.txt",
                                        target() + "/Notes/b.txt"}));
}

TEST_F(PlacementTest, NameClaimedByAnEarlierEntryIsTaken) {
    Placement placement(files, names, target(), false);
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/a.txt");
    // The same entry placed again, as after a failed action, gets another name.
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/P1_a.txt");
    EXPECT_EQ(placed(placement, "/", "P1_a.txt"), target() + "/P1_P1_a.txt");
    EXPECT_FALSE(std::filesystem::exists(target()));
}

TEST_F(PlacementTest, FlatPlacementClaimsNamesAcrossSourceFolders) {
    Placement placement(files, names, target(), true);
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/a.txt");
    EXPECT_EQ(placed(placement, "/Notes/", "a.txt"), target() + "/P1_a.txt");
    EXPECT_EQ(placed(placement, "/Old/", "a.txt"), target() + "/P2_a.txt");
    EXPECT_EQ(files.asked, std::vector<std::string>{target() + "/"});
}

TEST_F(PlacementTest, FoldersTheRunMakesNeedNoLookOnDiskAndTakeTheirNames) {
    Placement placement(files, names, target(), false);
    placement.planFolder(target());
    placement.planFolder(target() + "/Notes");
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/a.txt");
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/P1_a.txt");
    EXPECT_EQ(placed(placement, "/", "Notes"), target() + "/P1_Notes");
    EXPECT_EQ(placed(placement, "/Notes/", "a.txt"), target() + "/Notes/a.txt");
    EXPECT_TRUE(files.asked.empty());
}

TEST_F(PlacementTest, NameSourceThatFindsNothingFreeGivesUp) {
    StuckNames stuck;
    Placement placement(files, stuck, target(), false);
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/a.txt");
    EXPECT_EQ(placed(placement, "/", "a.txt"), target() + "/X_a.txt");
    EXPECT_EQ(placed(placement, "/", "a.txt"), std::nullopt);
}

}  // namespace
}  // namespace kestrune
