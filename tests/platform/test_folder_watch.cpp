#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/folder_watch.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Seen = std::vector<std::pair<WatchEventKind, std::string>>;

// Everything the watch has to say now, as (kind, folder + name). The system queues an event
// before the call that causes it returns, so nothing is waited for.
Seen drain(FolderWatch& watch) {
    Seen seen;
    for (const auto& event : watch.read(0))
        seen.emplace_back(event.kind, event.folder + event.name);
    return seen;
}

TEST(FolderWatch, ReportsWhatAppearsIsWrittenAndGoesInWatchedFoldersOnly) {
    test::ScratchDir scratch;
    const std::string in = scratch.folder() + "in/";
    fs::create_directories(in);
    fs::create_directories(scratch.file("sub-outside"));
    test::writeFile(scratch.file("outside.txt"), "x");
    const auto watch = makeFolderWatch();
    EXPECT_EQ(watch->add(in), "");
    EXPECT_EQ(watch->add(in), "");
    EXPECT_GE(watch->descriptor(), 0);
    EXPECT_TRUE(watch->read(0).empty());

    test::writeFile(in + "a.txt", "x");
    fs::rename(scratch.file("outside.txt"), in + "b.txt");
    fs::create_directory(in + "new");
    fs::rename(scratch.file("sub-outside"), in + "moved");
    fs::remove(in + "a.txt");
    fs::rename(in + "b.txt", scratch.file("away.txt"));
    fs::remove(in + "new");
    EXPECT_EQ(drain(*watch), (Seen{{WatchEventKind::EntryArrived, in + "a.txt"},
                                   {WatchEventKind::EntryWritten, in + "a.txt"},
                                   {WatchEventKind::EntryArrived, in + "b.txt"},
                                   {WatchEventKind::FolderAdded, in + "new"},
                                   {WatchEventKind::FolderAdded, in + "moved"},
                                   {WatchEventKind::EntryGone, in + "a.txt"},
                                   {WatchEventKind::EntryGone, in + "b.txt"},
                                   {WatchEventKind::FolderGone, in + "new"}}));
    // Subfolders are watched only when added themselves.
    test::writeFile(in + "moved/c.txt", "x");
    EXPECT_TRUE(drain(*watch).empty());

    watch->remove(in);
    test::writeFile(in + "d.txt", "x");
    EXPECT_TRUE(drain(*watch).empty());
    EXPECT_EQ(watch->size(), 0u);
}

TEST(FolderWatch, EventsTheSystemDroppedAreReportedAsOverflow) {
    test::ScratchDir scratch;
    const auto watch = makeFolderWatch();
    ASSERT_EQ(watch->add(scratch.folder()), "");
    int queue = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queue;
    if (queue <= 0 || queue > 200000) GTEST_SKIP() << "queue of " << queue << " events";
    // Three events a round, none the same as the one before (those the system merges).
    for (int round = 0; round <= queue / 3; ++round) {
        test::writeFile(scratch.file("a"), "");
        fs::remove(scratch.file("a"));
    }
    const auto events = watch->read(0);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, WatchEventKind::Overflow);
}

TEST(FolderWatch, FolderThatCannotBeWatchedOrGoesIsReported) {
    test::ScratchDir scratch;
    const auto watch = makeFolderWatch();
    EXPECT_NE(watch->add(scratch.file("missing") + "/"), "");
    test::writeFile(scratch.file("file"), "");
    EXPECT_NE(watch->add(scratch.file("file")), "");

    const std::string gone = scratch.folder() + "gone/";
    const std::string moved = scratch.folder() + "moved/";
    fs::create_directories(gone);
    fs::create_directories(moved);
    ASSERT_EQ(watch->add(gone), "");
    ASSERT_EQ(watch->add(moved), "");
    fs::remove(gone);
    fs::rename(moved, scratch.file("elsewhere"));
    Seen seen = drain(*watch);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Seen{{WatchEventKind::WatchLost, gone}, {WatchEventKind::WatchLost, moved}}));
    EXPECT_EQ(watch->size(), 0u);
}

}  // namespace
}  // namespace kestrune
