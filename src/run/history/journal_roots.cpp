#include "run/history/journal_roots.h"

#include "platform/trash.h"
#include "run/plan/path_rules.h"
#include "run/plan/plan_roots.h"

namespace kestrune {

PlanTrash trashOfRun(const JournalContent& run) {
    if (run.version >= 2) return run.plan.trash;
    for (const StepOutcome& outcome : run.outcomes) {
        const PlanStep& step = run.plan.steps[outcome.index];
        if (step.action == Action::Trash && outcome.result.status == StepStatus::Done &&
            step.target.empty()) {
            const std::string files = withoutTrailingSlashes(folderPart(outcome.result.target));
            return {trashFolderOf(files), {}};
        }
    }
    return {};
}

std::vector<PlanRoot> rootsOfRun(const JournalContent& run) {
    if (!run.plan.roots.empty()) return run.plan.roots;
    std::vector<PlanRoot> roots{rootOf(run.plan.record.sourceFolder)};
    if (!run.plan.record.targetFolder.empty())
        roots.push_back(rootOf(run.plan.record.targetFolder));
    if (const PlanTrash trash = trashOfRun(run); !trash.folder.empty()) {
        roots.push_back(rootOf(trash.folder));
    }
    return roots;
}

}  // namespace kestrune
