#include <gtest/gtest.h>

#include "store/integer_rule.h"

namespace kestrune {
namespace {

TEST(StoredInteger, AcceptsDecimalAndEveryHexSpelling) {
    EXPECT_EQ(parseStoredInteger("007"), 7);
    EXPECT_EQ(parseStoredInteger("  -42"), -42);
    EXPECT_EQ(parseStoredInteger("+5"), 5);
    EXPECT_EQ(parseStoredInteger("0x3"), 3);
    EXPECT_EQ(parseStoredInteger("0X3"), 3);
    EXPECT_EQ(parseStoredInteger("$3"), 3);
    EXPECT_EQ(parseStoredInteger("x1f"), 31);
    EXPECT_EQ(parseStoredInteger("XaB"), 171);
    EXPECT_EQ(parseStoredInteger("-$10"), -16);
}

TEST(StoredInteger, TakesEightHexDigitsAsA32BitPattern) {
    EXPECT_EQ(parseStoredInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(parseStoredInteger("0x80000000"), INT32_MIN);
    EXPECT_EQ(parseStoredInteger("$7fffffff"), INT32_MAX);
    EXPECT_EQ(parseStoredInteger("$100000000"), std::nullopt);
}

TEST(StoredInteger, KeepsDecimalsWithinThe32BitRange) {
    EXPECT_EQ(parseStoredInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(parseStoredInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseStoredInteger("2147483648"), std::nullopt);
    EXPECT_EQ(parseStoredInteger("-2147483649"), std::nullopt);
    EXPECT_EQ(parseStoredInteger("99999999999999999999"), std::nullopt);
}

TEST(StoredInteger, RefusesStrayCharactersAndMissingDigits) {
    for (const char* text : {"", "3a", "3 ", "a3", "-", "+", "$", "0x", "x", "--1", "1.5", "$1g",
                             "0x-1", "- 1", "yes", "1e3"}) {
        EXPECT_EQ(parseStoredInteger(text), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(parseStoredInteger("0"), 0);
}

}  // namespace
}  // namespace kestrune
