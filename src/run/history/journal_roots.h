#pragma once

#include <vector>

#include "run/history/journal_reader.h"
#include "run/plan/run_plan.h"

namespace kestrune {

// The trash and the roots a journaled run acted within, as its journal records them; for a
// journal written before they were recorded, the run's folders as found now and the trash
// its first trashed entry went to.
PlanTrash trashOfRun(const JournalContent& run);
std::vector<PlanRoot> rootsOfRun(const JournalContent& run);

}  // namespace kestrune
