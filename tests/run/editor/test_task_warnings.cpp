#include <gtest/gtest.h>

#include <filesystem>

#include "run/editor/selection_preview.h"
#include "run/editor/task_warnings.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

TEST(TaskWarnings, FilterPiecesThatSelectOtherThanMeant) {
    struct Case {
        std::string filters;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"*.tmp; *.log ;;*;*.*", {}},
        {"tmp", {"tmp selects every entry whose name has no dot; did you mean *.tmp?"}},
        {"*.txt;*pdf", {"*pdf selects every entry whose name has no dot; did you mean *.pdf?"}},
        {"txt, xls", {"\"txt, xls\" holds a comma or a blank; pieces are separated by \";\""}},
        {"*.a,*.b;*.c d",
         {"\"*.a,*.b\" holds a comma or a blank; pieces are separated by \";\"",
          "\"*.c d\" holds a comma or a blank; pieces are separated by \";\""}},
    };
    for (const Case& c : cases) EXPECT_EQ(filterWarnings(c.filters), c.warnings) << c.filters;
}

class FolderWarningsTest : public test::ScratchTest {
  protected:
    TaskRecord record(const std::string& source, const std::string& target, int action) const {
        TaskRecord r;
        r.sourceFolder = source.empty() ? "" : scratch.file(source);
        r.targetFolder = target.empty() ? "" : scratch.file(target);
        r.action = action;
        return r;
    }
};

TEST_F(FolderWarningsTest, MissingSourceAndTargetInsideIt) {
    std::filesystem::create_directories(scratch.path() / "src/done");
    std::filesystem::create_directories(scratch.path() / "elsewhere");
    struct Case {
        std::string source, target;
        int action;
        std::vector<std::string> warnings;
    };
    const std::string inside = "The target folder lies inside the source folder";
    const Case cases[] = {
        {"src", "elsewhere", 1, {}},
        {"src", "src/done", 2, {inside}},
        {"src", "src/new/deeper", 1, {inside}},  // not made yet
        {"src", "src/done", 3, {}},              // a delete places nothing
        {"src", "src", 1, {"The target folder is the source folder"}},
        {"gone",
         "elsewhere",
         1,
         {"The source folder \"" + scratch.file("gone") + "\" does not exist"}},
        {"", "", 1, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folderWarnings(record(c.source, c.target, c.action)), c.warnings)
            << c.source << " -> " << c.target;
    }
}

TEST_F(FolderWarningsTest, PreviewCountsAllShowsTheFirstAndLeavesTheTargetOut) {
    for (int i = 0; i < 7; ++i)
        test::makeFile(scratch.path() / "src" / ("f" + std::to_string(i) + ".txt"));
    test::makeFile(scratch.path() / "src/sub/deep.txt");
    test::makeFile(scratch.path() / "src/done/placed.txt");
    test::makeFile(scratch.path() / "src/other.log");
    TaskRecord r = record("src", "src/done", 1);
    r.filters = "*.txt";
    r.depthCode = 0;
    const SelectionPreview all = previewSelection(r, 100);
    EXPECT_EQ(all.total, 8u);
    EXPECT_EQ(all.shown.front(), "f0.txt");
    EXPECT_EQ(all.shown.back(), "sub/deep.txt");
    EXPECT_EQ(all.warnings.size(), 1u);

    const SelectionPreview few = previewSelection(r, 3);
    EXPECT_EQ(few.total, 8u);
    EXPECT_EQ(few.shown, (std::vector<std::string>{"f0.txt", "f1.txt", "f2.txt"}));

    r.depthCode = 1;  // the source folder alone
    EXPECT_EQ(previewSelection(r, 100).total, 7u);

    // A walk told to stop lists nothing more: a newer entry in the editor never waits for it.
    const std::atomic<bool> stopped{true};
    EXPECT_EQ(previewSelection(r, 100, &stopped).total, 0u);
}

}  // namespace
}  // namespace kestrune
