#include <string>

#include "store/profile_text.h"
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

}  // namespace kestrune
