#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "platform/folder_watch.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Seen = std::vector<std::pair<WatchEventKind, std::string>>;

// What the watch says up to and with the event `last`, as (kind, folder + name), a write told
// again and again told once. Some systems queue an event before the call that causes it
// returns, others a little later, so each read may wait.
Seen until(FolderWatch& watch, const std::pair<WatchEventKind, std::string>& last) {
    Seen seen;
    for (int reads = 0; reads < 100; ++reads) {
        for (const auto& event : watch.read(5000)) {
            const std::pair<WatchEventKind, std::string> one{event.kind, event.folder + event.name};
            if (seen.empty() || seen.back() != one) seen.push_back(one);
            if (one == last) return seen;
        }
    }
    ADD_FAILURE() << "no event for " << last.second;
    return seen;
}

TEST(FolderWatch, ReportsWhatAppearsIsWrittenAndGoesInWatchedFoldersOnly) {
    test::ScratchDir scratch;
    const std::string in = scratch.folder() + "in/";
    const std::string other = scratch.folder() + "other/";
    fs::create_directories(test::pathOf(in));
    fs::create_directories(test::pathOf(other));
    fs::create_directories(test::pathOf(scratch.file("sub-outside")));
    test::writeFile(scratch.file("outside.txt"), "x");
    const auto watch = makeFolderWatch();
    EXPECT_EQ(watch->add(in), "");
    EXPECT_EQ(watch->add(in), "");
    EXPECT_EQ(watch->add(other), "");
    EXPECT_GE(watch->descriptor(), 0);
    EXPECT_TRUE(watch->read(0).empty());

    test::writeFile(in + "a.txt", "x");
    fs::rename(test::pathOf(scratch.file("outside.txt")), test::pathOf(in + "b.txt"));
    fs::create_directory(test::pathOf(in + "new"));
    fs::rename(test::pathOf(scratch.file("sub-outside")), test::pathOf(in + "moved"));
    EXPECT_EQ(until(*watch, {WatchEventKind::FolderAdded, in + "moved"}),
              (Seen{{WatchEventKind::EntryArrived, in + "a.txt"},
                    {WatchEventKind::EntryWritten, in + "a.txt"},
                    {WatchEventKind::EntryArrived, in + "b.txt"},
                    {WatchEventKind::FolderAdded, in + "new"},
                    {WatchEventKind::FolderAdded, in + "moved"}}));
    fs::remove(test::pathOf(in + "a.txt"));
    fs::rename(test::pathOf(in + "b.txt"), test::pathOf(scratch.file("away.txt")));
    fs::remove(test::pathOf(in + "new"));
#ifdef _WIN32
    // Windows tells no folder from a file once it is gone: only a watched one is a folder.
    const WatchEventKind folderGone = WatchEventKind::EntryGone;
#else
    const WatchEventKind folderGone = WatchEventKind::FolderGone;
#endif
    EXPECT_EQ(until(*watch, {folderGone, in + "new"}),
              (Seen{{WatchEventKind::EntryGone, in + "a.txt"},
                    {WatchEventKind::EntryGone, in + "b.txt"},
                    {folderGone, in + "new"}}));
    // Subfolders are watched only when added themselves; a folder made in another watched
    // folder marks where their events would stand.
    test::writeFile(in + "moved/c.txt", "x");
    fs::create_directory(test::pathOf(other + "1"));
    EXPECT_EQ(until(*watch, {WatchEventKind::FolderAdded, other + "1"}),
              (Seen{{WatchEventKind::FolderAdded, other + "1"}}));

    watch->remove(in);
    test::writeFile(in + "d.txt", "x");
    fs::create_directory(test::pathOf(other + "2"));
    EXPECT_EQ(until(*watch, {WatchEventKind::FolderAdded, other + "2"}),
              (Seen{{WatchEventKind::FolderAdded, other + "2"}}));
    EXPECT_EQ(watch->size(), 1u);
}

TEST(FolderWatch, FolderThatCannotBeWatchedIsReported) {
    test::ScratchDir scratch;
    const auto watch = makeFolderWatch();
    EXPECT_NE(watch->add(scratch.file("missing") + "/"), "");
    test::writeFile(scratch.file("file"), "");
    EXPECT_NE(watch->add(scratch.file("file")), "");
    EXPECT_EQ(watch->size(), 0u);
}

}  // namespace
}  // namespace kestrune
