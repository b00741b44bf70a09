#pragma once

#include <string>

#include "store/task_record.h"

namespace kestrune {

// Whether a run of that action code places entries in the target folder: move and copy do;
// delete and trash have no target.
bool placesEntries(std::int32_t action);

// Why the record cannot run, or an empty string when it can.
std::string recordProblem(const TaskRecord& record);

}  // namespace kestrune
