#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/file_io.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

class FileIoTest : public test::ScratchTest {
  protected:
    std::string path() const { return scratch.file("data.txt"); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(scratch.path()), {}));
    }
};

// Writes a few bytes, then reports the disk full, as a real disk does part-way.
class FillingDisk : public SystemFileIo {
  protected:
    std::int64_t writeSome(NativeFile fd, const char* data, std::size_t size) const override {
        if (written_ >= 4) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t chunk = std::min<std::size_t>(size, 4);
        written_ += chunk;
        return SystemFileIo::writeSome(fd, data, chunk);
    }

  private:
    mutable std::size_t written_ = 0;
};

TEST_F(FileIoTest, ReplaceWritesTheWholeContentAndLeavesNoTemporaryFile) {
    writeFile(path(), "old content");
    EXPECT_EQ(systemFileIo().replace(path(), "new"), "");
    EXPECT_EQ(readFile(path()), "new");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIoTest, AFailurePartWayLeavesTheOldFileWholeAndNoTemporaryFile) {
    writeFile(path(), "the old file, whole");
    const FillingDisk disk;
    EXPECT_EQ(disk.replace(path(), "a much longer new content"), "No space left on device");
    EXPECT_EQ(readFile(path()), "the old file, whole");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIoTest, AFolderAtThePathMakesReplaceFailAndStaysAFolder) {
    std::filesystem::create_directory(path());
    EXPECT_NE(systemFileIo().replace(path(), "x"), "");
    EXPECT_TRUE(std::filesystem::is_directory(path()));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIoTest, ReadTellsAMissingFileFromAnUnreadableOne) {
    EXPECT_EQ(systemFileIo().read(path()).status, FileContent::Status::Missing);
    std::filesystem::create_directory(path());
    const FileContent folder = systemFileIo().read(path());
    EXPECT_EQ(folder.status, FileContent::Status::Failed);
    EXPECT_EQ(folder.error, "Is a directory");
    EXPECT_FALSE(isRegularFile(path()));
}

TEST(SystemErrorText, DropsTrailingStopsAndBreaks) {
    EXPECT_EQ(systemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(systemErrorText(EACCES), "Permission denied");
}

}  // namespace
}  // namespace kestrune
