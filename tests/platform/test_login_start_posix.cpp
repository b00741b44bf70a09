// The desktop's autostart entry under $XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/login_start.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

// The autostart entry lives under the config home the environment names.
class LoginStartTest : public test::ScratchTest {
  protected:
    void SetUp() override {
        saved_ = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        ::setenv("XDG_CONFIG_HOME", scratch.file("config").c_str(), 1);
    }
    void TearDown() override {
        if (saved_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    }
    std::string saved_;
};

TEST_F(LoginStartTest, WritesTheEntryIntoANewFolderAndRemovesIt) {
    const std::string entry = scratch.file("config/autostart/kestrune.desktop");
    EXPECT_EQ(loginStartPath(), entry);
    EXPECT_FALSE(startsAtLogin());

    EXPECT_EQ(setStartAtLogin(true, "/usr/bin/kestrune"), "");
    EXPECT_TRUE(startsAtLogin());
    EXPECT_EQ(readFile(entry), loginStartEntry("/usr/bin/kestrune"));

    EXPECT_EQ(setStartAtLogin(false, "/usr/bin/kestrune"), "");
    EXPECT_FALSE(startsAtLogin());
    EXPECT_EQ(setStartAtLogin(false, "/usr/bin/kestrune"), "") << "removing twice";

    // The base directory rules ignore a relative config home.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(loginStartPath(),
              std::string(std::getenv("HOME")) + "/.config/autostart/kestrune.desktop");
}

TEST_F(LoginStartTest, AConfigHomeThatIsAFileIsReportedAndNothingIsWritten) {
    writeFile(scratch.file("config"), "");
    EXPECT_NE(setStartAtLogin(true, "/usr/bin/kestrune"), "");
    EXPECT_FALSE(startsAtLogin());
}

// Each line as the file must hold it: quoted where the desktop would split or expand,
// "%" doubled, and every escaping backslash doubled again by the file's string rule.
TEST(LoginStartEntry, ExecNamesTheExecutableSoTheDesktopReadsItBack) {
    const struct {
        const char* executable;
        const char* exec;
    } cases[] = {
        {"/usr/bin/kestrune", "Exec=/usr/bin/kestrune --hidden"},
        {"/opt/my apps/kestrune", "Exec=\"/opt/my apps/kestrune\" --hidden"},
        {"/opt/100%/kestrune", "Exec=/opt/100%%/kestrune --hidden"},
        {"/opt/a$b/kestrune", "Exec=\"/opt/a\\\\$b/kestrune\" --hidden"},
        {"/opt/a\"b/kestrune", "Exec=\"/opt/a\\\\\"b/kestrune\" --hidden"},
        {"/opt/a\\b/kestrune", "Exec=\"/opt/a\\\\\\\\b/kestrune\" --hidden"},
    };
    for (const auto& each : cases) {
        const std::string entry = loginStartEntry(each.executable);
        EXPECT_NE(entry.find(std::string("\n") + each.exec + "\n"), std::string::npos)
            << each.executable << "\n"
            << entry;
    }
}

}  // namespace
}  // namespace kestrune
