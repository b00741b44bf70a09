// A file size limit of a forked process, modes, the umask and symbolic links.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <filesystem>

#include "platform/file_io.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

class FileIoPosixTest : public test::ScratchTest {
  protected:
    std::string path() const { return scratch.file("data.txt"); }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(scratch.path()), {}));
    }
};

TEST_F(FileIoPosixTest, AFileSizeLimitPartWayLeavesTheOldFileWhole) {
    writeFile(path(), "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string error = systemFileIo().replace(path(), std::string(5000, 'n'));
        _exit(error == "File too large" ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(path()), "old");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileIoPosixTest, ReplaceKeepsTheFilesModeAndFollowsALink) {
    writeFile(path(), "old");
    ::chmod(path().c_str(), 0640);
    const std::string link = scratch.file("link.txt");
    std::filesystem::create_symlink(path(), link);
    EXPECT_EQ(systemFileIo().replace(link, "new"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(path()), "new");
    struct stat info {};
    ::stat(path().c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    const mode_t mask = ::umask(027);
    EXPECT_EQ(systemFileIo().replace(scratch.file("fresh.txt"), "x"), "");
    ::umask(mask);
    ::stat(scratch.file("fresh.txt").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace kestrune
