#include <gtest/gtest.h>

#include "run/plan/folder_walk.h"
#include "run/tree_helpers.h"

namespace kestrune {
namespace {

using test::foldersBelow;
using test::makeFile;
using test::selectedBelow;
using Paths = std::vector<std::string>;

class FolderWalk : public test::ScratchTest {
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

TEST_F(FolderWalk, DepthCodeLimitsTheFoldersListed) {
    makeChain();
    EXPECT_EQ(foldersBelow(walk(0, "*.txt"), root()), (Paths{"", "A/", "A/B/", "A/B/C/"}));
    EXPECT_EQ(foldersBelow(walk(1, "*.txt"), root()), (Paths{""}));
    EXPECT_EQ(foldersBelow(walk(2, "*.txt"), root()), (Paths{"", "A/"}));
    EXPECT_EQ(foldersBelow(walk(3, "*.txt"), root()), (Paths{"", "A/", "A/B/"}));
    EXPECT_EQ(foldersBelow(walk(-1, "*.txt"), root()), (Paths{""}));
    EXPECT_EQ(selectedBelow(walk(2, "*.txt"), root()), (Paths{"f.txt", "A/f.txt"}));
}

TEST_F(FolderWalk, SelectionIsGroupedByFolderThenPieceThenName) {
    for (const char* path : {"b.txt", "a.doc", "a.TXT", "Sub/c.txt", "Sub/b.doc", "Z/x.txt"}) {
        makeFile(root() + path);
    }
    const WalkResult result = walk(0, "*.txt;*.doc");
    EXPECT_EQ(foldersBelow(result, root()), (Paths{"", "Sub/", "Z/"}));
    EXPECT_EQ(selectedBelow(result, root()),
              (Paths{"a.TXT", "b.txt", "a.doc", "Sub/c.txt", "Sub/b.doc", "Z/x.txt"}));
}

TEST_F(FolderWalk, EntriesAreTakenInByteOrderOfNames) {
    for (const char* name : {"b.txt", "C.txt", "\xc3\xa9.txt", "_.txt", "a.txt"}) {
        makeFile(root() + name);
    }
    EXPECT_EQ(selectedBelow(walk(0, "*.txt"), root()),
              (Paths{"C.txt", "_.txt", "a.txt", "b.txt", "\xc3\xa9.txt"}));
}

TEST_F(FolderWalk, SamePathIsSelectedOnceWhateverPiecesMatchIt) {
    makeFile(root() + "a.txt");
    makeFile(root() + "b.doc");
    EXPECT_EQ(selectedBelow(walk(0, "*.txt;*.TXT;*.*;*.doc"), root()), (Paths{"a.txt", "b.doc"}));
}

TEST_F(FolderWalk, FoldersAreEntriesAndMatchingOnesAreAlsoWalked) {
    makeFile(root() + "Old.txt/x.txt");
    makeFile(root() + "Plain/y");
    EXPECT_EQ(selectedBelow(walk(0, "*.txt"), root()), (Paths{"Old.txt", "Old.txt/x.txt"}));
    EXPECT_EQ(selectedBelow(walk(0, "*"), root()), (Paths{"Plain", "Plain/y"}));
}

TEST_F(FolderWalk, HiddenEntriesAreSelectedButHiddenFoldersNotEntered) {
    makeFile(root() + ".hidden.txt");
    makeFile(root() + ".git/inside.txt");
    EXPECT_EQ(selectedBelow(walk(0, "*.txt"), root()), (Paths{".hidden.txt"}));
    EXPECT_EQ(foldersBelow(walk(0, "*.txt"), root()), (Paths{""}));
}

TEST_F(FolderWalk, SkippedFolderIsNeitherEnteredNorSelected) {
    makeFile(root() + "Sorted/a.txt");
    makeFile(root() + "b.txt");
    FolderId sorted;
    ASSERT_TRUE(folderIdentity(root() + "Sorted", sorted));
    const WalkResult result = walkAndSelect({root(), 0, sorted}, FilterPieces("*.txt;*"));
    EXPECT_EQ(foldersBelow(result, root()), (Paths{""}));
    EXPECT_EQ(selectedBelow(result, root()), (Paths{"b.txt"}));
}

TEST_F(FolderWalk, MissingSourceOrNoPiecesSelectsNothing) {
    EXPECT_EQ(foldersBelow(walk(0, "*.txt"), root()), (Paths{""}));
    makeChain();
    EXPECT_TRUE(walk(0, ";;").selection.empty());
    EXPECT_EQ(walk(0, "").folders.size(), 4u);
}

}  // namespace
}  // namespace kestrune
