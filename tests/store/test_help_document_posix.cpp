// The help page that the build lays out beside the Linux programs.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/program_folder.h"
#include "store/help_document.h"

namespace kestrune {
namespace {

TEST(HelpDocument, TheTestsOwnFolderFindsThePageTheBuildLaidOut) {
    const std::string built = helpDocumentPath(programFolder());
    EXPECT_TRUE(std::filesystem::is_regular_file(built)) << built;
}

}  // namespace
}  // namespace kestrune
