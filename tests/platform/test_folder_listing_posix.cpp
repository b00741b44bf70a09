// Symbolic links and fifos in a listing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/folder_listing.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

TEST(FolderListing, GivesTypesInByteOrderWithoutDotEntries) {
    test::ScratchDir scratch;
    test::writeFile(scratch.file("b"), "");
    fs::create_directories(scratch.file("A"));
    fs::create_symlink("A", scratch.file("c"));
    ASSERT_EQ(mkfifo(scratch.file("d").c_str(), 0600), 0);
    const FolderListing listing = listFolder(scratch.folder());
    ASSERT_TRUE(listing.listed);
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[0].name, "A");
    EXPECT_EQ(listing.entries[0].type, EntryType::Folder);
    EXPECT_TRUE(listing.entries[0].sameFileSystem);
    EXPECT_EQ(listing.entries[1].type, EntryType::File);
    EXPECT_EQ(listing.entries[2].type, EntryType::Link);
    EXPECT_EQ(listing.entries[3].type, EntryType::Other);
    FolderId id;
    ASSERT_TRUE(folderIdentity(scratch.file("c"), id));
    EXPECT_EQ(id, listing.entries[0].id);
}

// A subfolder swapped for a link to another folder after its parent was listed is never
// followed, not even by a listing that is only shown.
TEST(FolderListing, SubfolderReplacedByALinkIsNeverFollowed) {
    test::ScratchDir scratch;
    test::makeFile(scratch.file("root/sub/mine"));
    test::makeFile(scratch.file("outside/theirs"));
    const FolderListing root = listFolder(scratch.file("root"));
    ASSERT_EQ(root.entries.size(), 1u);
    const FolderId listed = root.entries[0].id;
    fs::rename(scratch.file("root/sub"), scratch.file("old"));
    fs::create_symlink(scratch.file("outside"), scratch.file("root/sub"));
    const FolderListing viaLink = listFolderBelow(root.folder, "sub", listed);
    EXPECT_FALSE(viaLink.listed);
    EXPECT_EQ(viaLink.error, ENOTDIR);
    EXPECT_EQ(listFolderBelow(root.folder, "sub", listed, false).error, ENOTDIR);
}

}  // namespace
}  // namespace kestrune
