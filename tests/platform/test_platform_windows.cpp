// Paths as Windows users write them, the open-for-writing probe and the Run key.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/entry_identity.h"
#include "platform/file_io.h"
#include "platform/folder_listing.h"
#include "platform/login_start.h"
#include "platform/open_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

// Past the 260 characters of the old limit, by "\" and by "/", with a name outside ASCII.
TEST(WindowsPaths, LongPathsAndEitherSeparatorReachTheSameFile) {
    test::ScratchDir scratch;
    std::string folder = scratch.folder();
    while (folder.size() < 300) folder += "a-rather-long-folder-name\\";
    const std::string file = folder + "caf\xc3\xa9.cfg";
    EXPECT_EQ(systemFileIo().replace(file, "x=1\n"), "");  // the folders are made too
    std::string slashed = file;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    EXPECT_EQ(systemFileIo().read(slashed).bytes, "x=1\n");
    const FolderListing listing = listFolder(folder);
    ASSERT_TRUE(listing.listed) << listing.error;
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].name, "caf\xc3\xa9.cfg");
    EXPECT_TRUE(isRegularFile(slashed));
}

TEST(WindowsOpenFiles, AFileOpenForWritingIsBusyUntilClosed) {
    test::ScratchDir scratch;
    const std::string path = scratch.file("busy.txt");
    test::writeFile(path, "x");
    EntryIdentity identity;
    ASSERT_EQ(readIdentity(path, identity), 0);
    const std::wstring wide(path.begin(), path.end());
    const HANDLE reader =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(scanOpenForWriting().contains(identity.device, identity.inode));
    const HANDLE writer = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(scanOpenForWriting().contains(identity.device, identity.inode));
    CloseHandle(writer);
    CloseHandle(reader);
    EXPECT_FALSE(scanOpenForWriting().contains(identity.device, identity.inode));
}

TEST(WindowsLoginStart, TheRunKeyHoldsTheQuotedProgramUntilTurnedOff) {
    const std::string program = "C:/Program Files/Kestrune/kestrune.exe";
    ASSERT_EQ(setStartAtLogin(true, program), "");
    EXPECT_TRUE(startsAtLogin());
    wchar_t value[512];
    DWORD size = sizeof value;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           L"Kestrune", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"C:\\Program Files\\Kestrune\\kestrune.exe\" --hidden");
    EXPECT_EQ(setStartAtLogin(false, program), "");
    EXPECT_FALSE(startsAtLogin());
    EXPECT_EQ(setStartAtLogin(false, program), "") << "turning off twice";
}

}  // namespace
}  // namespace kestrune
