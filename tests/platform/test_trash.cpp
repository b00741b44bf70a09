#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>

#include "platform/trash.h"
#include "support/scratch_dir.h"
#include "support/trash_cli.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

const std::string kUid = std::to_string(getuid());

class TrashTest : public test::ScratchTest {
  protected:
    std::string home() const { return scratch.file("data/Trash"); }
    std::unique_ptr<Trash> trash = makeTrash(home());
};

// Another file system inside the scratch folder, where the tests may mount one.
class MountedVolume {
  public:
    explicit MountedVolume(const std::string& at) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::mount("kestrune-test", at.c_str(), "tmpfs", 0, "size=8m") == 0;
    }
    ~MountedVolume() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;
    bool mounted() const { return mounted_; }

  private:
    std::string at_;
    bool mounted_ = false;
};

std::string pathLine(const std::string& info) {
    std::smatch match;
    const std::string content = readFile(info);
    return std::regex_search(content, match, std::regex("Path=([^\n]*)\n")) ? match[1].str() : "";
}

TEST_F(TrashTest, HomeTrashTakesFilesLinksAndFoldersAndGivesThemBack) {
    const std::string odd = scratch.file("a b%\xc3\xbc.txt");
    makeFile(odd, "first");
    fs::create_symlink("nowhere", scratch.file("link"));
    makeFile(scratch.file("folder/inner/deep.txt"), "deep");

    const TrashResult file = trash->put(odd);
    ASSERT_TRUE(file.result.ok()) << file.result.error;
    EXPECT_EQ(file.place.file, home() + "/files/a b%\xc3\xbc.txt");
    EXPECT_EQ(file.place.info, trashInfoOf(file.place.file));
    EXPECT_EQ(readFile(file.place.file), "first");
    EXPECT_TRUE(std::regex_match(
        readFile(file.place.info),
        std::regex("\\[Trash Info\\]\nPath=[^\n]*\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:"
                   "\\d\\d:\\d\\d\n")));
    EXPECT_EQ(pathLine(file.place.info), scratch.path().string() + "/a%20b%25%C3%BC.txt");

    // The same name again gets a name of its own; nothing in the trash is replaced.
    makeFile(odd, "second");
    const TrashResult again = trash->put(odd);
    ASSERT_TRUE(again.result.ok());
    EXPECT_EQ(again.place.file, home() + "/files/a b%\xc3\xbc_2.txt");
    EXPECT_EQ(readFile(file.place.file), "first");

    const TrashResult link = trash->put(scratch.file("link"));
    const TrashResult folder = trash->put(scratch.file("folder"));
    ASSERT_TRUE(link.result.ok() && folder.result.ok());
    EXPECT_TRUE(fs::is_symlink(link.place.file));
    EXPECT_EQ(readFile(folder.place.file + "/inner/deep.txt"), "deep");

    // Back only where the original path is free; a refused restore leaves the trash alone.
    makeFile(odd, "taken");
    EXPECT_EQ(trash->restore(file.place.file).result.code, EEXIST);
    EXPECT_EQ(readFile(odd), "taken");
    EXPECT_TRUE(fs::exists(file.place.info));
    fs::remove(odd);
    for (const TrashResult* put : {&file, &link, &folder}) {
        const RestoreResult back = trash->restore(put->place.file);
        EXPECT_TRUE(back.result.ok()) << back.result.error;
        EXPECT_FALSE(fs::exists(fs::symlink_status(put->place.file)));
        EXPECT_FALSE(fs::exists(put->place.info));
    }
    EXPECT_EQ(readFile(odd), "first");
    EXPECT_EQ(fs::read_symlink(scratch.file("link")), "nowhere");
    // A folder that went away since is made again around the restored entry.
    makeFile(scratch.file("gone/x"), "x");
    const TrashResult inGone = trash->put(scratch.file("gone/x"));
    fs::remove(scratch.file("gone"));
    EXPECT_TRUE(trash->restore(inGone.place.file).result.ok());
    EXPECT_EQ(readFile(scratch.file("gone/x")), "x");
    EXPECT_EQ(readFile(scratch.file("folder/inner/deep.txt")), "deep");
}

// Which trash an entry on another file system goes to, as the volume's top folder allows.
TEST_F(TrashTest, AnotherFileSystemUsesItsTopFolderTrashOrTheHomeTrashByCopy) {
    struct Case {
        const char* what;
        std::function<void(const std::string& top)> prepare;
        std::string trashFolder;  // relative to the top folder; empty: the home trash
    };
    const std::vector<Case> cases = {
        {"nothing there", [](const std::string&) {}, ".Trash-" + kUid},
        {"a sticky .Trash",
         [](const std::string& top) {
             fs::create_directory(top + "/.Trash");
             ::chmod((top + "/.Trash").c_str(), 01777);
         },
         ".Trash/" + kUid},
        {"a .Trash without the sticky bit",
         [](const std::string& top) { fs::create_directory(top + "/.Trash"); }, ".Trash-" + kUid},
        {"a .Trash-uid that is a link",
         [](const std::string& top) {
             fs::create_directory(top + "/elsewhere");
             fs::create_directory_symlink(top + "/elsewhere", top + "/.Trash-" + kUid);
         },
         ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string top = scratch.file("volume" + std::to_string(n++));
        MountedVolume volume(top);
        if (!volume.mounted()) GTEST_SKIP() << "cannot mount a file system here (needs root)";
        c.prepare(top);
        makeFile(top + "/sub/folder/file", "content");
        ::chmod((top + "/sub/folder/file").c_str(), 0640);
        const auto when = fs::file_time_type(std::chrono::seconds(1500000000));
        fs::last_write_time(top + "/sub/folder", when);

        const TrashResult put = trash->put(top + "/sub/folder");
        ASSERT_TRUE(put.result.ok()) << put.result.error;
        const std::string folder = c.trashFolder.empty() ? home() : top + "/" + c.trashFolder;
        EXPECT_EQ(put.place.file, folder + "/files/folder");
        EXPECT_EQ(pathLine(put.place.info),
                  c.trashFolder.empty() ? top + "/sub/folder" : "sub/folder");
        EXPECT_FALSE(fs::exists(top + "/sub/folder"));
        EXPECT_EQ(readFile(put.place.file + "/file"), "content");

        ASSERT_TRUE(trash->restore(put.place.file).result.ok());
        EXPECT_EQ(readFile(top + "/sub/folder/file"), "content");
        EXPECT_EQ(fs::status(top + "/sub/folder/file").permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(fs::last_write_time(top + "/sub/folder"), when);
        EXPECT_FALSE(fs::exists(put.place.file));
    }
}

// The desktop's own tools must see what we trash and put it back, from the home trash and,
// where a file system can be mounted for the test, from a top-folder trash.
TEST_F(TrashTest, TrashCliListsAndRestoresWhatWasTrashed) {
    if (!test::trashCliPresent()) {
        GTEST_SKIP() << "trash-cli is not installed: scripts/install-deps brings it";
    }
    MountedVolume volume(scratch.file("volume"));
    std::vector<std::string> folders = {scratch.file("to do")};
    if (volume.mounted()) folders.push_back(scratch.file("volume/to do"));
    const std::string data = scratch.file("data");
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const std::string odd = folder + "/n\xc3\xa4me %1.txt";
        makeFile(odd, "keep me");
        const TrashResult put = trash->put(odd);
        ASSERT_TRUE(put.result.ok());
        const std::string listed = test::trashList(data);
        EXPECT_TRUE(std::regex_search(
            listed, std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d " +
                               std::regex_replace(odd, std::regex("[.%]"), "\\$&"))))
            << listed;

        const std::string restore = "cd '" + folder + "' && echo 0 | " +
                                    test::trashCliEnvironment(data) + "trash-restore >/dev/null";
        ASSERT_EQ(std::system(restore.c_str()), 0);
        EXPECT_EQ(readFile(odd), "keep me");
        EXPECT_FALSE(fs::exists(put.place.info));
    }
}

}  // namespace
}  // namespace kestrune
