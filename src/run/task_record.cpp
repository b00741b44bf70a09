#include "run/task_record.h"

#include "run/path_rules.h"

namespace kestrune {

// An empty source would walk the whole file system, and a relative path would depend on
// whatever folder the program happens to run in.
std::string recordProblem(const TaskRecord& record) {
    if (record.action < 1 || record.action > 3) {
        return "its action " + std::to_string(record.action) +
               " is none of 1 (move), 2 (copy) and 3 (delete)";
    }
    if (record.sourceFolder.empty()) return "its source folder is empty";
    if (!isAbsolutePath(record.sourceFolder)) {
        return "its source folder \"" + record.sourceFolder + "\" is not an absolute path";
    }
    if (record.targetFolder.empty()) {
        return record.action == 3 ? std::string() : "its target folder is empty";
    }
    if (!isAbsolutePath(record.targetFolder)) {
        return "its target folder \"" + record.targetFolder + "\" is not an absolute path";
    }
    return {};
}

}  // namespace kestrune
