#include <gtest/gtest.h>

#include <filesystem>

#include "platform/folder_listing.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

TEST(FolderListing, MissingFolderIsNotListed) {
    test::ScratchDir scratch;
    EXPECT_FALSE(listFolder(scratch.file("missing")).listed);
    FolderId id;
    EXPECT_FALSE(folderIdentity(scratch.file("missing"), id));
}

// Between the listing of a folder and that of its subfolder, the subfolder is swapped for
// another folder of the same name: it is not listed, but a listing that is only shown lists it.
TEST(FolderListing, SubfolderReplacedSinceItsParentWasListedIsNotListed) {
    test::ScratchDir scratch;
    test::makeFile(scratch.file("root/sub/mine"));
    test::makeFile(scratch.file("root/b/file"));
    const FolderListing root = listFolder(scratch.file("root"));
    ASSERT_EQ(root.entries.size(), 2u);
    EXPECT_EQ(root.entries[0].name, "b");
    EXPECT_EQ(root.entries[1].type, EntryType::Folder);
    EXPECT_TRUE(root.entries[1].sameFileSystem);
    FolderId id;
    ASSERT_TRUE(folderIdentity(scratch.file("root/sub"), id));
    EXPECT_EQ(id, root.entries[1].id);
    const FolderId listed = root.entries[1].id;
    EXPECT_EQ(listFolderBelow(root.folder, "sub", listed).entries.size(), 1u);
    EXPECT_EQ(listFolderBelow(root.folder, "b", listed).error, ESTALE);
    fs::rename(scratch.file("root/sub"), scratch.file("old"));
    fs::create_directories(scratch.file("root/sub"));
    EXPECT_EQ(listFolderBelow(root.folder, "sub", listed).error, ESTALE);
    EXPECT_TRUE(listFolderBelow(root.folder, "sub", listed, false).listed);
    test::writeFile(scratch.file("root/file"), "");
    EXPECT_EQ(listFolderBelow(root.folder, "file", listed).error, ENOTDIR);
}

}  // namespace
}  // namespace kestrune
