// The mode of the folders a first write makes.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/settings_file.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

TEST(SettingsFile, FoldersMadeForTheFileArePrivateToTheUser) {
    test::ScratchDir scratch;
    SettingsFile fresh(scratch.file("made/on/write/Setting.cfg"));
    fresh.writeInteger("Settings", "frmx", 1);
    EXPECT_EQ(std::filesystem::status(scratch.file("made")).permissions(),
              std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace kestrune
