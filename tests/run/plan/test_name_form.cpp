#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "run/plan/name_form.h"

namespace kestrune {
namespace {

TEST(NameForm, LongNamesAreCutKeepingTheExtensionAndWholeCharacters) {
    const std::string e3 = "\xe2\x82\xac";  // the euro sign: three bytes
    struct Case {
        std::string name;
        std::size_t limit;
        std::string fitted;
    };
    const Case cases[] = {
        {"short.txt", 255, "short.txt"},
        {std::string(300, 'a') + ".txt", 255, std::string(251, 'a') + ".txt"},
        // The cut falls inside a character: the whole character goes.
        {"ab" + e3 + e3 + ".txt", 9, "ab" + e3 + ".txt"},
        {"ab" + e3 + e3 + ".txt", 7, "ab.txt"},
        // No extension, or one that leaves no room: cut like any text.
        {std::string(20, 'b'), 10, std::string(10, 'b')},
        {"a." + std::string(20, 'x'), 10, "a." + std::string(8, 'x')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fittedName(c.name, c.limit), c.fitted) << c.name;
        EXPECT_LE(fittedName(c.name, c.limit).size(), c.limit);
    }
}

TEST(NameForm, DrawsAreTheSameForTheSameEntryAndFormOneShape) {
    const std::uint64_t seed = nameSeed(2049, 131077, "/home/ann/Sorted/", "logo.png");
    EXPECT_EQ(seed, nameSeed(2049, 131077, "/home/ann/Sorted/", "logo.png"));
    EXPECT_NE(seed, nameSeed(2049, 131078, "/home/ann/Sorted/", "logo.png"));
    EXPECT_NE(seed, nameSeed(2049, 131077, "/home/ann/Other/", "logo.png"));
    std::set<std::string> parts;
    for (std::uint32_t draw = 0; draw < 50; ++draw) {
        const std::string part = drawnPart(seed, draw);
        EXPECT_EQ(part, drawnPart(seed, draw));
        EXPECT_TRUE(std::regex_match(part, std::regex("[a-zA-Z0-9]{12}"))) << part;
        parts.insert(part);
    }
    EXPECT_EQ(parts.size(), 50u);

    const std::string part = drawnPart(seed, 0);
    EXPECT_EQ(withRandomPart(part, "logo.png"), part + "_logo.png");
    EXPECT_TRUE(isWithRandomPart(part + "_logo.png", "logo.png"));
    for (const char* other : {"logo.png", "_logo.png", "rXHNwQA4W77ylogo.png",
                              "rXHNwQA4W7-y_logo.png", "rXHNwQA4W77y_logo.jpg"}) {
        EXPECT_FALSE(isWithRandomPart(other, "logo.png")) << other;
    }
    // A name at the limit gives way to the part; a fresh part takes the old one's place.
    const std::string longest = std::string(251, 'n') + ".png";
    const std::string placed = withRandomPart(part, longest);
    EXPECT_EQ(placed.size(), 255u);
    EXPECT_EQ(placed.substr(placed.size() - 4), ".png");
    EXPECT_TRUE(isWithRandomPart(placed, longest));
    const std::string again = redrawnName(placed, true, drawnPart(seed, 1));
    EXPECT_EQ(again, withRandomPart(drawnPart(seed, 1), longest));
    EXPECT_EQ(redrawnName("logo.png", false, part), part + "_logo.png");
}

}  // namespace
}  // namespace kestrune
