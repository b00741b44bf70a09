#include <gtest/gtest.h>

#include <string>

#include "cli/field_escape.h"

namespace kestrune::cli {
namespace {

// Plain text is told apart by a search of many bytes at once: a character to escape is
// found wherever it stands.
TEST(FieldEscape, EveryCharacterToEscapeIsFoundAtEveryPlace) {
    const struct {
        char c;
        const char* escape;
    } cases[] = {{'\t', "\\t"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\\', "\\\\"}};
    for (const auto& each : cases) {
        for (std::size_t at = 0; at < 19; ++at) {
            std::string text(19, 'a');
            text[at] = each.c;
            const std::string expected =
                std::string(at, 'a') + each.escape + std::string(18 - at, 'a');
            EXPECT_EQ(field(text), expected) << "at " << at;
        }
    }
}

TEST(FieldEscape, OtherBytesStayAsTheyAre) {
    const std::string text = "\x01\x1f a/b\xc3\xa9\x7f\xff.txt";
    EXPECT_EQ(field(text), text);
    EXPECT_EQ(field(std::string("a\0b\tc", 5)), std::string("a\0b\\tc", 6));
    std::string line = "copy\t";
    appendField(line, "/x/\\");
    EXPECT_EQ(line, "copy\t/x/\\\\");
}

}  // namespace
}  // namespace kestrune::cli
