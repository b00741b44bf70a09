#include <gtest/gtest.h>

#include <string>

#include "run/plan/name_set.h"

namespace kestrune {
namespace {

// Names of every length, well past the first table, and sets emptied many times over.
TEST(NameSet, HoldsEachNameOnceUntilEmptied) {
    NameSet set;
    EXPECT_FALSE(set.contains("a"));
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < 1000; ++i)
            EXPECT_TRUE(set.insert(std::string(i % 40, 'a') + std::to_string(i)));
        for (std::size_t i = 0; i < 1000; ++i)
            EXPECT_FALSE(set.insert(std::string(i % 40, 'a') + std::to_string(i)));
        EXPECT_TRUE(set.contains(std::string(7, 'a') + "7"));
        EXPECT_FALSE(set.contains("7"));
        EXPECT_TRUE(set.insert(""));
        EXPECT_FALSE(set.insert(""));
        EXPECT_EQ(set.size(), 1001u);
        set.clear();
        EXPECT_EQ(set.size(), 0u);
        EXPECT_FALSE(set.contains(""));
    }
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(set.insert("same"));
        set.clear();
    }
}

}  // namespace
}  // namespace kestrune
