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
    EXPECT_EQ(test::pathOf(page.substr(scratch.folder().size())),
              test::pathOf("share/kestrune/help/index.html").make_preferred());

    test::makeFile(bin + "kestrune.chm");
    EXPECT_EQ(helpDocumentPath(bin), bin + "kestrune.chm");
}

}  // namespace
}  // namespace kestrune
