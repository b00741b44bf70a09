#pragma once

#include <string>
#include <vector>

namespace kestrune {

// Where this user's programs keep their configuration, and what said so.
struct ConfigHome {
    std::string path;    // ends with a separator; empty when the system names no such folder
    std::string source;  // "$XDG_CONFIG_HOME", "$HOME/.config", or on Windows "%APPDATA%"
};

// $XDG_CONFIG_HOME when it names an absolute folder, else ~/.config of the home folder
// ($HOME, or the account's own when that is unset). On Windows the roaming application data
// folder: %APPDATA% when it names an absolute folder, else the one the system keeps.
ConfigHome userConfigHome();

// The program's own folder in the configuration home, as programs of this system name theirs.
#ifdef _WIN32
inline constexpr const char* kOwnConfigFolder = "Kestrune\\";
#else
inline constexpr const char* kOwnConfigFolder = "kestrune/";
#endif

// The folders the system installs programs into, each ending with a separator: /usr/ and
// /opt/; on Windows the Program Files folders.
std::vector<std::string> systemProgramFolders();

// Whether this process may create files in the folder.
bool folderWritable(const std::string& folder);

}  // namespace kestrune
