#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "run/plan/run_plan.h"
#include "run/plan/task_record.h"

namespace kestrune {

class FileActions;
class NameSource;
class SettingsFile;

// Takes each step as it is planned, instead of the plan keeping it: a preview prints the
// steps of a large run without holding them all.
class PlanSink {
  public:
    virtual ~PlanSink() = default;
    virtual void planned(const PlanStep& step) = 0;
    // Each folder that could not be listed, before the first step; the plan keeps these.
    virtual void unlisted(const FolderProblem& /*problem*/) {}
};

struct PlanOptions {
    FileActions* files = nullptr;  // the system's file actions when null
    NameSource* names = nullptr;   // the program's random names when null
    PlanSink* sink = nullptr;      // when set, RunPlan::steps stays empty
    // False leaves each step's identity empty: for a plan that is only shown, never run.
    // Without identities no entry can be told open for writing either.
    bool identities = true;
    // An automatic run's start, nanoseconds since the epoch: entries changed within the
    // last few seconds before it are left busy too. Unset for a run started by hand.
    std::optional<std::int64_t> automaticStartNs = std::nullopt;
    // The time the conditions' ages are judged at, nanoseconds since the epoch (now when
    // unset), taken to the start of its minute.
    std::optional<std::int64_t> nowNs = std::nullopt;
    // When set, told of each entry the walk listed but did not select, with the first
    // condition it failed in words ("extension", "smaller than 10M"): an explained preview.
    std::function<void(const std::string& path, std::string_view reason)> passedOver = nullptr;
};

// Plans the whole run of a record: walks and selects, decides the folders to make, places
// every entry. Nothing on disk is changed. A record that cannot run gives a plan with
// RunPlan::error set and no steps.
RunPlan planRecord(const TaskRecord& record, const std::string& name,
                   const PlanOptions& options = {});

// Plans the run of the record of that name.
RunPlan planTask(const SettingsFile& settings, const std::string& name,
                 const PlanOptions& options = {});

// The time a run judges the ages of its conditions at: the start of the minute of nowNs, or
// of now when unset.
std::int64_t judgingTime(std::optional<std::int64_t> nowNs = std::nullopt);

// The start time an automatic run plans with (PlanOptions::automaticStartNs): now.
std::int64_t automaticStartNow();

// The message of a task that cannot run, naming the task.
std::string cannotRunMessage(const std::string& task, const std::string& reason);

}  // namespace kestrune
