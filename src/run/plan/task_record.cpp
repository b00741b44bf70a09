#include "run/plan/task_record.h"

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// An empty source would walk the whole file system, and a relative path would depend on
// whatever folder the program happens to run in.
std::string folderProblem(const TaskRecord& record) {
    if (record.action < 1 || record.action > 4) {
        return "its action " + std::to_string(record.action) +
               " is none of 1 (move), 2 (copy), 3 (delete) and 4 (trash)";
    }
    if (record.sourceFolder.empty()) return "its source folder is empty";
    if (!isAbsolutePath(record.sourceFolder)) {
        return "its source folder \"" + record.sourceFolder + "\" is not an absolute path";
    }
    // Whatever t_folder holds is not used by delete and trash.
    if (!placesEntries(record.action)) return {};
    if (record.targetFolder.empty()) return "its target folder is empty";
    if (!isAbsolutePath(record.targetFolder)) {
        return "its target folder \"" + record.targetFolder + "\" is not an absolute path";
    }
    return {};
}

}  // namespace

bool placesEntries(std::int32_t action) {
    return action == 1 || action == 2;
}

CheckedRecord checkRecord(const TaskRecord& record) {
    CheckedRecord checked;
    checked.problem = folderProblem(record);
    if (!checked.problem.empty()) return checked;
    ReadRules read = readRules(record);
    checked.problem = std::move(read.problem);
    checked.rules = std::move(read.rules);
    return checked;
}

std::string recordProblem(const TaskRecord& record) {
    return checkRecord(record).problem;
}

}  // namespace kestrune
