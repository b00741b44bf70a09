#pragma once

#include <map>
#include <string>
#include <vector>

#include "run/auto/auto_scheduler.h"
#include "store/task_record.h"

namespace kestrune {

// The tasks that run by themselves, as the state folder's files say at one moment.
struct AutomaticRules {
    std::map<std::string, TaskRecord> tasks;  // by task name, each with a rule and able to run
    // A task asked for by name that cannot take part, or a record that cannot run, and why.
    std::vector<AutoNotice> problems;
};

// Reads the tree file and the settings file once each, whatever the number of tasks. named:
// the tasks asked for; empty: every node of the tree whose record runs on changes or at
// intervals. Throws TreeFileError when the tree file cannot be read.
AutomaticRules readAutomaticRules(const std::string& stateFolder,
                                  const std::vector<std::string>& named);

}  // namespace kestrune
