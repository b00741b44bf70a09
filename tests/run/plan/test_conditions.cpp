#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "run/plan/conditions.h"
#include "run/plan/name_pattern.h"

namespace kestrune {
namespace {

constexpr std::int64_t kMinuteNs = 60'000'000'000;
constexpr std::int64_t kDayNs = 24 * 60 * kMinuteNs;

TEST(Conditions, SizesAndTimeSpansAreReadOrRefusedWithTheReason) {
    const std::pair<const char*, std::optional<std::uint64_t>> sizes[] = {
        {"0", 0},
        {"4096", 4096},
        {"10M", 10 << 20},
        {"1k", 1024},
        {"2 G", 2ULL << 30},
        {"16777215T", 16777215ULL << 40},
        {"16777216T", {}},
        {"10X", {}},
        {"-3", {}},
        {"1.5G", {}},
        {"M", {}},
        {"10MB", {}},
        {"99999999999999999999", {}},
    };
    for (const auto& [text, expected] : sizes) {
        std::string problem;
        EXPECT_EQ(readSize(text, problem), expected) << text;
        EXPECT_EQ(problem.empty(), expected.has_value()) << text << ": " << problem;
        if (!expected) {
            EXPECT_EQ(problem.rfind("\"" + std::string(text) + "\" is no size", 0), 0u);
        }
    }
    const std::pair<const char*, std::optional<std::int64_t>> ages[] = {
        {"30d", 30 * kDayNs},
        {"90m", 90 * kMinuteNs},
        {"2h", 120 * kMinuteNs},
        {"1w", 7 * kDayNs},
        {"0d", 0},
        {"-3d", {}},
        {"5y", {}},
        {"30", {}},
        {"6M", {}},
        {"1.5d", {}},
        {"999999w", {}},
    };
    for (const auto& [text, expected] : ages) {
        std::string problem;
        EXPECT_EQ(readAge(text, problem), expected) << text;
        EXPECT_EQ(problem.empty(), expected.has_value()) << text << ": " << problem;
    }
}

// A bound is met exactly at its value: minsize 10M takes a file of 10M, olderthan 30d one
// modified exactly 30 days before the time of judging.
TEST(Conditions, EachBoundHoldsAtItsEdge) {
    const std::int64_t now = 1'796'000'000 * 1'000'000'000LL;
    Conditions sizes;
    sizes.minSize = 10 << 20;
    sizes.maxSize = 20 << 20;
    sizes.minSizeText = "10M";
    sizes.maxSizeText = "20M";
    Conditions ages;
    ages.olderThanNs = 30 * kDayNs;
    ages.newerThanNs = 60 * kDayNs;
    ages.olderThanText = "30d";
    ages.newerThanText = "60d";
    const auto file = [](std::uint64_t size, std::int64_t modified) {
        EntryIdentity identity;
        identity.type = EntryType::File;
        identity.size = size;
        identity.modifiedNs = modified;
        return identity;
    };
    const struct {
        const Conditions& conditions;
        EntryIdentity entry;
        PassedOver why;
    } cases[] = {
        {sizes, file((10 << 20) - 1, 0), PassedOver::Smaller},
        {sizes, file(10 << 20, 0), PassedOver::None},
        {sizes, file(20 << 20, 0), PassedOver::None},
        {sizes, file((20 << 20) + 1, 0), PassedOver::Larger},
        {ages, file(0, now - 30 * kDayNs + 1), PassedOver::Newer},
        {ages, file(0, now - 30 * kDayNs), PassedOver::None},
        {ages, file(0, now - 60 * kDayNs + 1), PassedOver::None},
        {ages, file(0, now - 60 * kDayNs), PassedOver::Older},
        {ages, file(0, now + kDayNs), PassedOver::Newer},  // a clock ahead of this one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.conditions.byIdentity(c.entry, now), c.why)
            << c.entry.size << " " << c.entry.modifiedNs - now;
    }
    EXPECT_EQ(sizes.reason(PassedOver::Smaller), "smaller than 10M");
    EXPECT_EQ(ages.reason(PassedOver::Older), "older than 60d");
    EXPECT_EQ(sizes.byName("Photos", EntryType::Folder), PassedOver::Folder);
    EXPECT_EQ(sizes.byName("link.txt", EntryType::Link), PassedOver::Link);
    Conditions filesOnly;
    filesOnly.filesOnly = true;
    EXPECT_EQ(filesOnly.byName("Photos", EntryType::Folder), PassedOver::Folder);
    EXPECT_EQ(filesOnly.byName("link.txt", EntryType::Link), PassedOver::None);
}

TEST(NamePatterns, WholeNamesMatchInEitherCaseWithStarsMarksAndSets) {
    const struct {
        const char* patterns;
        const char* name;
        bool matches;
    } cases[] = {
        {"invoice*;*receipt*", "Invoice-2026.PDF", true},
        {"invoice*;*receipt*", "Shop Receipt.jpg", true},
        {"invoice*;*receipt*", "my invoice.pdf", false},
        {"a*", "abc", true},
        {"*a", "banana", true},
        {"*a", "bananas", false},
        {"*.tar.gz", "backup.tar.gz", true},
        {"*.tar.gz", "backup.tar.gzip", false},
        {"*.txt", "notes.txt.bak", false},
        {"?.txt", "\xc3\xa9.txt", true},  // é: one character, two bytes
        {"??.txt", "\xc3\xa9.txt", false},
        {"photo[1].jpg", "photo1.jpg", true},
        {"photo[1].jpg", "photo[1].jpg", false},
        {"photo[[]1].jpg", "photo[1].jpg", true},
        {"[]]*", "]x", true},
        {"IMG_[0-9][0-9]*", "img_12.heic", true},
        {"IMG_[0-9][0-9]*", "IMG_1a.heic", false},
        {"[!.]*", ".hidden", false},
        {"[^.]*", "visible", true},
        {"[a-c]", "B", true},
        {"report[", "report[", true},                 // a "[" without "]" is itself
        {"\xc3\x84RGER*", "\xc3\xa4rger.txt", true},  // Ä and ä
        {"  drafts ; .git ", "Drafts", true},
        {";;", "anything", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NamePatterns(c.patterns).matchesAny(c.name), c.matches)
            << c.patterns << " / " << c.name;
    }
}

}  // namespace
}  // namespace kestrune
