#include <gtest/gtest.h>

#include <filesystem>

#include "platform/content_compare.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::writeFile;
using Outcome = ContentComparison::Outcome;

TEST(ContentCompare, SameOnlyForTwoRegularFilesWithEqualBytes) {
    test::ScratchDir scratch;
    // Past one read block, so a difference in the second block is found too.
    const std::string big(1 << 20 | 7, 'x');
    std::string lastDiffers = big;
    lastDiffers.back() = 'y';
    writeFile(scratch.file("big"), big);
    writeFile(scratch.file("big-copy"), big);
    writeFile(scratch.file("last-differs"), lastDiffers);
    writeFile(scratch.file("shorter"), big.substr(1));
    writeFile(scratch.file("empty"), "");
    writeFile(scratch.file("empty-too"), "");
    // Windows makes links only for those given the right (Wine for none): the link case then
    // goes untried.
    std::error_code noLinks;
    fs::create_symlink(test::pathOf(scratch.file("big")), test::pathOf(scratch.file("link")),
                       noLinks);
    fs::create_directory(scratch.file("folder"));

    struct Case {
        const char* second;
        const char* first;
        Outcome outcome;
    };
    const Case cases[] = {
        {"big-copy", "big", Outcome::Same},      {"big", "big", Outcome::Same},
        {"empty-too", "empty", Outcome::Same},   {"last-differs", "big", Outcome::Different},
        {"shorter", "big", Outcome::Different},  {"link", "big", Outcome::Different},
        {"folder", "empty", Outcome::Different}, {"missing", "big", Outcome::Failed},
    };
    for (const Case& c : cases) {
        if (noLinks && std::string(c.second) == "link") continue;
        const ContentComparison result =
            compareContent(scratch.file(c.first), scratch.file(c.second));
        EXPECT_EQ(result.outcome, c.outcome) << c.first << " against " << c.second;
        EXPECT_EQ(result.error.empty(), c.outcome != Outcome::Failed) << c.second;
    }
}

}  // namespace
}  // namespace kestrune
