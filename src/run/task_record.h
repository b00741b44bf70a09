#pragma once

#include <string>

#include "store/task_record.h"

namespace kestrune {

// Why the record cannot run, or an empty string when it can.
std::string recordProblem(const TaskRecord& record);

}  // namespace kestrune
