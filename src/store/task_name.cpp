#include <string>

#include "store/errors.h"
#include "store/profile_text.h"
#include "store/settings_file.h"
#include "store/task_tree.h"

namespace kestrune {

// A task name becomes a section header in the settings file and a line in the tree file, so
// every name refused here would be stored wrongly or shared with something else.
std::string taskNameProblem(std::string_view name) {
    if (name.empty()) return "A task name cannot be empty.";
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 32) {
            return "A task name cannot contain control characters such as a tab or a line break.";
        }
    }
    if (name.front() == ' ' || name.back() == ' ') {
        return "A task name cannot begin or end with a space.";
    }
    if (name.find(']') != std::string_view::npos) return "A task name cannot contain \"]\".";
    if (profileNameKey(name) == "settings") {
        return "\"Settings\" is reserved for the window position; choose another task name.";
    }
    return {};
}

// Two nodes of one name share one record: taking another node's name would write this task's
// settings over that task's.
std::string TaskTree::renameProblem(const TreeNode* node, std::string_view name) const {
    if (std::string problem = taskNameProblem(name); !problem.empty()) return problem;
    if (!nameTakenByAnother(node, name)) return {};
    return "Another task is named \"" + std::string(name) +
           "\"; saving would overwrite its settings";
}

void TaskTree::renameInPlace(SettingsFile& settings, TreeNode* node, std::string text) {
    if (text == node->text) return;
    if (const std::string problem = renameProblem(node, text); !problem.empty()) {
        throw Error(problem);
    }
    settings.apply(SettingsEdit().copySection(node->text, text));
    rename(node, std::move(text));
}

}  // namespace kestrune
