// The limit of inotify's queue, and a watched folder that goes or moves away.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/folder_watch.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Seen = std::vector<std::pair<WatchEventKind, std::string>>;

// inotify queues an event before the call that causes it returns: nothing is waited for.
Seen drain(FolderWatch& watch) {
    Seen seen;
    for (const auto& event : watch.read(0))
        seen.emplace_back(event.kind, event.folder + event.name);
    return seen;
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

TEST(FolderWatch, AWatchedFolderThatGoesOrMovesIsLost) {
    test::ScratchDir scratch;
    const auto watch = makeFolderWatch();
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
