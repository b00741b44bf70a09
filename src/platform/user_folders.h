#pragma once

#include <string>

namespace kestrune {

// Where this user's programs keep their configuration, and what said so.
struct ConfigHome {
    std::string path;    // ends with "/"; empty when the system names no such folder
    std::string source;  // "$XDG_CONFIG_HOME" or "$HOME/.config"
};

// $XDG_CONFIG_HOME when it names an absolute folder, else ~/.config of the home folder
// ($HOME, or the account's own when that is unset).
ConfigHome userConfigHome();

// Whether this process may create files in the folder.
bool folderWritable(const std::string& folder);

}  // namespace kestrune
