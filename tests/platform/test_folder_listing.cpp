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

TEST(FolderListing, MissingFolderIsNotListed) {
    test::ScratchDir scratch;
    EXPECT_FALSE(listFolder(scratch.file("missing")).listed);
    FolderId id;
    EXPECT_FALSE(folderIdentity(scratch.file("missing"), id));
}

}  // namespace
}  // namespace kestrune
