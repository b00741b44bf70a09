#pragma once

#include <string>
#include <string_view>

#include "store/task_record.h"

namespace kestrune {

// What a task does, in one sentence, as the window's task pane shows it: "Moves *.pdf from
// ~/Downloads and all its subfolders to ~/Papers, keeping folders". Its action, filters,
// conditions, folders and templates as the record holds them; a value that cannot be read is
// quoted as written. A folder in homeFolder (with or without its trailing "/") is written
// below "~"; an empty homeFolder leaves every path whole.
std::string describeTask(const TaskRecord& record, std::string_view homeFolder);

}  // namespace kestrune
