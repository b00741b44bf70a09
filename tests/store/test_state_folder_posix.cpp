// $XDG_CONFIG_HOME and $HOME.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/user_folders.h"
#include "store/state_folder.h"

namespace kestrune {
namespace {

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(StateFolder, TheUsersFolderFollowsXdgConfigHomeElseHome) {
    const ScopedEnv home("HOME", "/home/ann");
    {
        const ScopedEnv xdg("XDG_CONFIG_HOME", "/home/ann/conf");
        EXPECT_EQ(userConfigHome().path, "/home/ann/conf/");
        EXPECT_EQ(userConfigHome().source, "$XDG_CONFIG_HOME");
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/conf"}) {
        const ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(userConfigHome().path, "/home/ann/.config/");
        EXPECT_EQ(userConfigHome().source, "$HOME/.config");
    }
}

}  // namespace
}  // namespace kestrune
