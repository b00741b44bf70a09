#include "store/state_folder.h"

#include "platform/file_io.h"
#include "platform/path_text.h"
#include "platform/program_folder.h"
#include "platform/user_folders.h"
#include "store/errors.h"
#include "store/program_files.h"

namespace kestrune {

namespace {

// Why the program counts as installed, or an empty string for a portable copy. Root may write
// anywhere, so the places where installed programs live are known by name too.
std::string installedBecause(const StateFolderFacts& facts) {
    const std::string& folder = facts.programFolder;
    const bool sameFolder = pathStartsWith(folder, facts.installFolder) &&
                            pathStartsWith(facts.installFolder, folder);  // as the system compares
    if (sameFolder) {
        return "the program is installed in " + folder;
    }
    for (const std::string& system : facts.systemFolders) {
        if (pathStartsWith(folder, system))
            return "the program lies in the system folder " + folder;
    }
    if (!facts.programFolderWritable) return "the program folder " + folder + " is not writable";
    return {};
}

}  // namespace

StateFolder chooseStateFolder(const StateFolderFacts& facts) {
    const std::string installed = installedBecause(facts);
    if (installed.empty()) {
        return {facts.programFolder,
                "the program folder is writable: a portable copy keeps its files beside it"};
    }
    return {facts.configHome + facts.ownFolder,
            installed + ", so the files live in the user's folder (" + facts.configSource + ")"};
}

StateFolder stateFolder() {
    const ConfigHome config = userConfigHome();
    StateFolderFacts facts;
    facts.programFolder = programFolder();
    facts.installFolder = withSeparator(KESTRUNE_INSTALL_BINDIR);
    facts.systemFolders = systemProgramFolders();
    facts.programFolderWritable = folderWritable(facts.programFolder);
    facts.configHome = config.path;
    facts.configSource = config.source;
    facts.ownFolder = kOwnConfigFolder;
    return chooseStateFolder(facts);
}

StateFolder namedStateFolder(const std::string& folder) {
    return {withSeparator(folder), "named by --folder"};
}

// Found at the start, not at the first save, which could only say that it failed.
void requireReadableStateFiles(const std::string& folder) {
    std::string unreadable;
    for (const std::string& path : {settingsPath(folder), treePath(folder)}) {
        const FileContent content = systemFileIo().read(path);
        if (content.status == FileContent::Status::Failed) {
            unreadable += "\n" + path + ": " + content.error;
        }
    }
    if (unreadable.empty()) return;
    throw Error("Kestrune keeps its tasks in these files and cannot read them:" + unreadable +
                "\nMove what is there out of the way, or make it readable, and start again");
}

}  // namespace kestrune
