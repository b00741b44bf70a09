#include <gtest/gtest.h>

#include <random>

#include "store/errors.h"
#include "store/profile_text.h"
#include "store/task_tree.h"

namespace kestrune {
namespace {

// Bytes that mean something to one of the two formats come up often, the rest at random.
std::string randomBytes(std::mt19937& random, std::size_t maxLength) {
    static const std::string structural = "[]=\r\n\t \"';#$xX0aA";
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text(length(random), '\0');
    for (char& c : text) {
        const int pick = byte(random);
        c = pick < 160 ? structural[static_cast<std::size_t>(pick) % structural.size()]
                       : static_cast<char>(byte(random));
    }
    return text;
}

std::vector<std::string> inputs() {
    std::mt19937 random(20261208);
    std::vector<std::string> all;
    const std::string settings = "[Desktop Tidy]\r\ns_folder=\"C:\\Data\"\r\nsublevel=0x3\r\n[S]\n";
    const std::string tree = "All Tasks\r\n\tDesktop Tidy\r\n\t\tDeep\n \tx\r\rB";
    for (std::size_t cut = 0; cut <= settings.size(); ++cut) all.push_back(settings.substr(0, cut));
    for (std::size_t cut = 0; cut <= tree.size(); ++cut) all.push_back(tree.substr(0, cut));
    while (all.size() < 3000) all.push_back(randomBytes(random, 120));
    return all;
}

TEST(ParserRobustness, SettingsTextAlwaysReadsAndWritesBackWhatWasSet) {
    for (const std::string& input : inputs()) {
        ProfileText text(input);
        text.value("Desktop Tidy", "s_folder");
        text.hasKeys("x");
        text.set("Desktop Tidy", "s_folder", " C:\\Data ");
        ProfileText reread(text.text());
        ASSERT_EQ(reread.value("desktop tidy", "S_FOLDER"), " C:\\Data ") << input;
        reread.eraseSection("Desktop Tidy");
        ASSERT_FALSE(ProfileText(reread.text()).hasKeys("Desktop Tidy")) << input;
    }
}

TEST(ParserRobustness, TreeTextGivesATreeOrALevelErrorAndSavesStably) {
    std::size_t loaded = 0;
    for (const std::string& input : inputs()) {
        try {
            const std::string saved = treeText(parseTreeText(input));
            ASSERT_EQ(treeText(parseTreeText(saved)), saved) << input;
            ++loaded;
        } catch (const TreeFileError& error) {
            ASSERT_EQ(std::string(error.what()).rfind("Invalid level (", 0), 0u);
        }
    }
    EXPECT_GT(loaded, 100u);
}

}  // namespace
}  // namespace kestrune
