#pragma once

// The plan and start time the journal's tests write, and their fixture.

#include <chrono>
#include <string>

#include "run/plan/run_plan.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

using Clock = std::chrono::system_clock;

inline const Clock::time_point kStart = Clock::time_point(std::chrono::seconds(1796793153));

// Paths holding every character the format escapes, and an escape's look-alike.
inline RunPlan awkwardPlan(std::size_t steps = 2) {
    RunPlan plan;
    plan.task = "Tidy\tup";
    plan.record = {"/src\\in", "/dst\nout", 1, 3, "*.txt;*.a\\b", true};
    plan.roots = {{"/src\\in", "/real\tsrc\\t", {2049, 12}}, {"/dst\nout", "/dst\nout", {}}};
    plan.trash = {"/mnt/x\r/.Trash-1000", "/mnt/x\r"};
    plan.foldersToMake = {"/dst\nout/sub\r"};
    PlanStep step;
    step.action = Action::Move;
    step.source = "/src\\in/a\tb\\tc";
    step.target = "/dst\nout/a\tb\\tc";
    step.identity = {2049, 77, EntryType::File, 5, -1000000001, 1796793153000000001};
    for (std::size_t i = 0; i < steps; ++i) {
        PlanStep numbered = step;
        numbered.source += std::to_string(i);
        if (i == 1) {
            numbered.status = StepStatus::Merged;
            numbered.origin = 7;
            numbered.error = "once\tfailed\\";
        }
        plan.steps.push_back(numbered);
    }
    plan.unreadable = {{"/src\\in/locked", "Permission denied"}};
    plan.foldersToRemove = {"/src\\in/a\tb"};
    plan.shapes = {{"/src\\in/gone\n", {0755, -5, 1796793153000000001}}};
    return plan;
}

class JournalTest : public ScratchTest {};

}  // namespace kestrune::test
