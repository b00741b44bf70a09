#include "platform/user_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrune {

namespace {

std::string withSlash(std::string folder) {
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* account = ::getpwuid(::geteuid());
    if (account != nullptr && account->pw_dir != nullptr && account->pw_dir[0] == '/') {
        return account->pw_dir;
    }
    return {};
}

}  // namespace

// A relative $XDG_CONFIG_HOME is to be ignored: it would depend on the working folder.
ConfigHome userConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return {withSlash(xdg), "$XDG_CONFIG_HOME"};
    const std::string home = homeFolder();
    if (home.empty()) return {{}, "$HOME/.config"};
    return {withSlash(home) + ".config/", "$HOME/.config"};
}

std::vector<std::string> systemProgramFolders() {
    return {"/usr/", "/opt/"};
}

bool folderWritable(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace kestrune
