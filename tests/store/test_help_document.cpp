#include <gtest/gtest.h>

#include <filesystem>

#include "store/help_document.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

// kestrune.chm beside the executable wins; without it the installed page, which the build
// folder lays out the same way.
TEST(HelpDocument, TheHelpFileBesideTheProgramElseTheInstalledPage) {
    test::ScratchDir scratch;
    const std::string bin = scratch.folder() + "bin/";
    test::makeFile(bin + "kestrune");
    const std::string page = helpDocumentPath(bin);
    EXPECT_EQ(page.rfind(scratch.folder(), 0), 0u) << page;
    EXPECT_EQ(page.substr(scratch.folder().size()), "share/kestrune/help/index.html");

    test::makeFile(bin + "kestrune.chm");
    EXPECT_EQ(helpDocumentPath(bin), bin + "kestrune.chm");

    // The tests' own folder finds the page the build laid out.
    const std::string built =
        helpDocumentPath(std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/");
    EXPECT_TRUE(std::filesystem::is_regular_file(built)) << built;
}

}  // namespace
}  // namespace kestrune
