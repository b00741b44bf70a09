#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run/run_plan.h"
#include "run/task_record.h"

namespace kestrune {

class SettingsFile;
class FileActions;

// One selected entry as the run handled it.
struct EntryResult {
    Action action = Action::None;
    std::string source;
    std::string target;  // the path handed to the file action; empty for delete
    bool ok = false;
    std::string error;  // the system's error text when !ok
};

struct RunReport {
    std::string task;
    // Non-empty when the task could not run at all; nothing was touched then.
    std::string error;
    std::vector<EntryResult> entries;  // empty when RunOptions::keepEntries is false
    std::size_t succeeded = 0;
    std::size_t failed = 0;
    bool stopped = false;  // the observer asked to stop before every entry was done
    // A preview's entries are planned, not done: each is ok and counted as succeeded
    // unless no free target name could be found for it.
    bool preview = false;
};

// Told of each entry as it is done; returning false stops the run before the next entry.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    virtual bool entryDone(const EntryResult& entry) = 0;
};

struct RunOptions {
    bool preview = false;  // compute the plan only; nothing on disk is touched
    RunObserver* observer = nullptr;
    FileActions* files = nullptr;  // the system's file actions when null
    // False hands each entry to the observer only and keeps just the counts in the report,
    // so that a run of many entries needs no memory for entries already done.
    bool keepEntries = true;
};

// Runs the task record of that name to its end. One failing entry never stops the run.
RunReport runTask(const SettingsFile& settings, const std::string& taskName,
                  const RunOptions& options = {});

// Runs a record already read; taskName names it in the report.
RunReport runTaskRecord(const TaskRecord& record, const std::string& taskName,
                        const RunOptions& options = {});

}  // namespace kestrune
