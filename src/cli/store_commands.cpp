#include <iostream>
#include <string>

#include "cli/commands.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_tree.h"

namespace kestrune::cli {

int listCommand(const std::string& folder) {
    TaskTree tree;
    try {
        tree.LoadTreeIfPresent(treePath(folder));
    } catch (const TreeFileError& error) {
        std::cerr << error.what() << '\n';
        return kCannotRun;
    }
    for (const TreeNode* node : tree.allNodes()) {
        std::cout << std::string(2 * static_cast<std::size_t>(node->level()), ' ') << node->text
                  << '\n';
    }
    const int count = tree.TaskCount();
    std::cout << "You Have " << count << (count > 1 ? " Tasks" : " Task") << '\n';
    return kOk;
}

// The values exactly as a task run takes them, defaults included.
int showCommand(const std::string& folder, const std::string& name) {
    const SettingsFile settings(settingsPath(folder));
    if (!settings.sectionExists(name)) {
        std::cerr << "No task record named \"" << name << "\" in " << settings.path() << '\n';
        return kCannotRun;
    }
    std::cout << "s_folder=" << settings.readString(name, "s_folder", "") << '\n'
              << "t_folder=" << settings.readString(name, "t_folder", "") << '\n'
              << "actions=" << settings.readInteger(name, "actions", 0) << '\n'
              << "sublevel=" << settings.readInteger(name, "sublevel", 0) << '\n'
              << "filters=" << settings.readString(name, "filters", "") << '\n'
              << "folderstruct=" << (settings.readBool(name, "folderstruct", false) ? 1 : 0)
              << '\n';
    return kOk;
}

}  // namespace kestrune::cli
