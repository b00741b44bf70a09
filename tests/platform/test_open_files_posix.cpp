// Open descriptors of other processes, seen through /proc.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/open_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

struct Key {
    std::uint64_t device, inode;
};

Key keyOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool seen(const OpenForWriting& open, const Key& key) {
    return open.contains(key.device, key.inode);
}

TEST(OpenForWriting, SeesFilesThatAnyOfOurProcessesHoldsOpenForWriting) {
    test::ScratchDir scratch;
    for (const char* name : {"child", "read", "both", "closed"}) {
        test::writeFile(scratch.file(name), "x");
    }
    int ready[2], stop[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(stop[1]);  // so that the parent's close ends the wait below
        const int fd = open(scratch.file("child").c_str(), O_WRONLY | O_APPEND);
        char byte = fd >= 0 ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1 || read(stop[0], &byte, 1) < 0) _exit(1);
        _exit(0);
    }
    close(stop[0]);
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    const int readOnly = open(scratch.file("read").c_str(), O_RDONLY);
    const int readWrite = open(scratch.file("both").c_str(), O_RDWR);
    close(open(scratch.file("closed").c_str(), O_WRONLY));

    const OpenForWriting open = scanOpenForWriting();
    EXPECT_TRUE(seen(open, keyOf(scratch.file("child"))));
    EXPECT_TRUE(seen(open, keyOf(scratch.file("both"))));
    EXPECT_FALSE(seen(open, keyOf(scratch.file("read"))));
    EXPECT_FALSE(seen(open, keyOf(scratch.file("closed"))));

    close(stop[1]);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(seen(scanOpenForWriting(), keyOf(scratch.file("child"))));
    for (int fd : {readOnly, readWrite, ready[0]}) close(fd);
}

}  // namespace
}  // namespace kestrune
