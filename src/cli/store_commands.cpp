#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/state_folder.h"
#include "store/task_record.h"
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
        std::cout << std::string(2 * static_cast<std::size_t>(node->level()), ' ')
                  << field(node->text) << '\n';
    }
    const int count = tree.TaskCount();
    std::cout << "You Have " << count << (count > 1 ? " Tasks" : " Task") << '\n';
    return kOk;
}

// The values exactly as a task run takes them, defaults included.
int showCommand(const std::string& folder, const std::string& name) {
    const SettingsFile settings(settingsPath(folder));
    const auto record = readTaskRecord(settings, name);
    if (!record) {
        std::cerr << "No task record named \"" << name << "\" in " << settings.path() << '\n';
        return kCannotRun;
    }
    for (const std::string_view key : keys::kTaskKeys) {
        std::cout << key << '=' << field(valueOf(*record, key)) << '\n';
    }
    return kOk;
}

int whereCommand(const StateFolder& folder) {
    std::cout << field(folder.path) << '\n' << field(folder.reason) << '\n';
    return kOk;
}

}  // namespace kestrune::cli
