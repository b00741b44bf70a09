#include <gtest/gtest.h>

#include "run/plan/busy_check.h"

namespace kestrune {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kNow = 1'800'000'000 * kSecond;

TEST(BusyCheck, PassesOverWhatIsStillBeingWritten) {
    struct Case {
        const char* name;
        EntryType type;
        std::uint64_t inode;  // 7 is open for writing
        std::int64_t modifiedAgo;
        bool automatic;
        const char* filters;
        BusyReason expected;
    };
    const Case cases[] = {
        {"a.txt", EntryType::File, 1, 60 * kSecond, true, "*.*", BusyReason::None},
        {"a.txt", EntryType::File, 7, 60 * kSecond, false, "*.*", BusyReason::OpenForWriting},
        {"a.iso.part", EntryType::File, 1, 60 * kSecond, false, "*.*",
         BusyReason::UnfinishedDownload},
        {"a.CrDownload", EntryType::File, 1, 60 * kSecond, false, "*.txt",
         BusyReason::UnfinishedDownload},
        {"a.download", EntryType::Link, 1, 60 * kSecond, false, "*.*",
         BusyReason::UnfinishedDownload},
        {"a.partial", EntryType::File, 1, 60 * kSecond, false, "*.PARTIAL", BusyReason::None},
        {"a.part", EntryType::File, 7, 60 * kSecond, false, "*.part", BusyReason::OpenForWriting},
        {"a.partx", EntryType::File, 1, 60 * kSecond, false, "*.*", BusyReason::None},
        {"x.part", EntryType::Folder, 7, 0, true, "*.*", BusyReason::None},
        {"a.txt", EntryType::File, 1, kSecond, true, "*.*", BusyReason::RecentlyChanged},
        {"a.txt", EntryType::File, 1, 2 * kSecond, false, "*.*", BusyReason::None},
        {"a.txt", EntryType::File, 1, 6 * kSecond, true, "*.*", BusyReason::None},
        {"a.txt", EntryType::File, 1, -3600 * kSecond, true, "*.*", BusyReason::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " inode " + std::to_string(c.inode) + " filters " +
                     c.filters + (c.automatic ? " automatic" : ""));
        const BusyCheck check(FilterPieces(c.filters), OpenForWriting({{3, 7}, {4, 1}}),
                              c.automatic ? std::optional(kNow) : std::nullopt);
        EntryIdentity identity;
        identity.device = 3;
        identity.inode = c.inode;
        identity.type = c.type;
        identity.modifiedNs = kNow - c.modifiedAgo;
        EXPECT_EQ(check.check(c.name, identity), c.expected);
    }
}

}  // namespace
}  // namespace kestrune
