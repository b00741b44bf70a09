// A source folder named through a symbolic link.
#include <gtest/gtest.h>

#include <filesystem>

#include "run/editor/task_warnings.h"
#include "run/plan/task_record.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

TEST(FolderWarnings, ATargetInsideTheSourceIsFoundThroughALink) {
    test::ScratchDir scratch;
    std::filesystem::create_directories(scratch.path() / "src/done");
    std::filesystem::create_symlink(scratch.path() / "src", scratch.path() / "alias");
    TaskRecord record;
    record.sourceFolder = scratch.file("alias");
    record.targetFolder = scratch.file("src/done");
    record.action = 1;
    EXPECT_EQ(folderWarnings(record),
              std::vector<std::string>{"The target folder lies inside the source folder"});
}

}  // namespace
}  // namespace kestrune
