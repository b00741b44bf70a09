#include <gtest/gtest.h>

#include "run/plan/filter_pieces.h"
#include "run/plan/path_rules.h"

namespace kestrune {
namespace {

TEST(PathRules, ExtensionPartIsTakenAfterTheLastDotOfTheName) {
    EXPECT_EQ(extensionPart("a.b.txt"), ".txt");
    EXPECT_EQ(extensionPart("README"), "");
    EXPECT_EQ(extensionPart(".profile"), ".profile");
    EXPECT_EQ(extensionPart("old.d/file"), "");
    EXPECT_EQ(extensionPart("/in/name."), ".");
    // ":" is an ordinary character here.
    EXPECT_EQ(extensionPart("a.b:c"), ".b:c");
}

TEST(PathRules, FolderPartEndsWithTheLastSlash) {
    EXPECT_EQ(folderPart("/in/Notes/a.txt"), "/in/Notes/");
    EXPECT_EQ(folderPart("a.txt"), "");
    EXPECT_EQ(folderPart("C:a.txt"), "");
}

TEST(PathRules, UpperCasingTouchesAsciiLettersOnly) {
    EXPECT_EQ(upperAscii("a.Txt-z"), "A.TXT-Z");
    EXPECT_EQ(upperAscii("\xc3\xa9.t\xc3\xa9"), "\xc3\xa9.T\xc3\xa9");
}

TEST(PathRules, SplitDropsEmptyPiecesAndKeepsBlanks) {
    EXPECT_EQ(split(";*.txt;;*.doc ;", ';'), (std::vector<std::string>{"*.txt", "*.doc "}));
    EXPECT_TRUE(split(";;;", ';').empty());
    EXPECT_TRUE(split("", ';').empty());
}

TEST(FilterPieces, MatchByExtensionAloneIgnoringBlanksAroundPieces) {
    const FilterPieces pieces(" *.txt ; a*.TAR.GZ;*;  ;");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(pieces.matches(0, ".TXT"));
    EXPECT_FALSE(pieces.matches(0, ".TXT "));
    EXPECT_TRUE(pieces.matches(1, ".GZ"));
    EXPECT_TRUE(pieces.matches(2, ""));
    EXPECT_FALSE(pieces.matches(2, ".TXT"));
}

TEST(FilterPieces, StarDotStarSelectsEveryEntry) {
    const FilterPieces pieces("*.*");
    EXPECT_TRUE(pieces.matches(0, ".TXT"));
    EXPECT_TRUE(pieces.matches(0, ""));
}

}  // namespace
}  // namespace kestrune
