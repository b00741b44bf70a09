#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrune {

class SettingsFile;

// The keys of a task's section in Setting.cfg, as a run reads them.
struct TaskRecord {
    std::string sourceFolder;    // s_folder
    std::string targetFolder;    // t_folder
    std::int32_t action = 0;     // actions: 1 move, 2 copy, 3 delete
    std::int32_t depthCode = 0;  // sublevel: 0 no limit
    std::string filters;         // filters: pieces separated by ";"
    bool flat = false;           // folderstruct: true places every entry straight into t_folder
};

// nullopt when the settings file holds no record of that name.
std::optional<TaskRecord> readTaskRecord(const SettingsFile& settings, const std::string& name);

// Why the record cannot run, or an empty string when it can.
std::string recordProblem(const TaskRecord& record);

}  // namespace kestrune
