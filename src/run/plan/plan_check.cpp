#include "run/plan/plan_check.h"

#include <cstring>

#include "run/execute/entry_checks.h"

namespace kestrune {

namespace {

bool actsOn(const PlanStep& step) {
    return step.status == StepStatus::Planned || step.status == StepStatus::Merged;
}

}  // namespace

std::string planStillHolds(const RunPlan& plan) {
    for (const PlanStep& step : plan.steps) {
        if (!actsOn(step)) continue;
        EntryIdentity now;
        if (const int error = readIdentity(step.source, now); error != 0) {
            return step.source + " is no longer there (" + std::strerror(error) + ")";
        }
        if (!stillAsLeft(now, step.identity)) {
            return step.source + " has changed since the preview";
        }
    }
    return {};
}

}  // namespace kestrune
