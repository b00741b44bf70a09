#pragma once

#include <string>
#include <vector>

namespace kestrune {

// The folder that holds Setting.cfg, kestrune.dll and the run history, and why it is that one.
struct StateFolder {
    std::string path;    // ends with a separator
    std::string reason;  // one sentence for the user
};

// What the choice of the state folder depends on.
struct StateFolderFacts {
    std::string programFolder;  // the executable's folder, ending with a separator
    std::string installFolder;  // the folder the build installs programs into, likewise
    std::vector<std::string> systemFolders;  // where the system installs programs, likewise
    bool programFolderWritable = false;
    std::string configHome;    // the user's configuration folder, ending with a separator
    std::string configSource;  // what named configHome, e.g. "$XDG_CONFIG_HOME"
    std::string ownFolder;     // the program's folder in configHome, e.g. "kestrune/"
};

// A copy of the program in a folder its user can write (a portable copy, the build folder)
// keeps its files beside it. An installed program never writes into its own folder, also when
// run as root or as an administrator: its files go to <configHome><ownFolder>, made on the
// first write. A program is installed when it lies in the install folder, in one of the
// system's (/usr/, /opt/; Program Files on Windows), or in a folder its user cannot write.
StateFolder chooseStateFolder(const StateFolderFacts& facts);

// The rule for the running program.
StateFolder stateFolder();

// A folder the user named outright (kestrune-cli --folder).
StateFolder namedStateFolder(const std::string& folder);

// Throws Error naming, in one message, each of the folder's two files (Setting.cfg,
// kestrune.dll) that is there but cannot be read, with the system's reason: a folder in its
// place, no permission. A missing file is no problem: the first save makes it.
void requireReadableStateFiles(const std::string& folder);

}  // namespace kestrune
