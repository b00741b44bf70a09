#pragma once

#include <string>

#include "run/plan/task_rules.h"
#include "store/task_record.h"

namespace kestrune {

// Whether a run of that action code places entries in the target folder: move and copy do;
// delete and trash have no target.
bool placesEntries(std::int32_t action);

// A record as a run takes it: why it cannot run, or its rules.
struct CheckedRecord {
    std::string problem;  // empty when the record can run
    TaskRules rules;
};
CheckedRecord checkRecord(const TaskRecord& record);

// Why the record cannot run, or an empty string when it can: the check the planner, the
// command line and the editor share.
std::string recordProblem(const TaskRecord& record);

}  // namespace kestrune
