#pragma once

#include <string>

#include "run/plan/run_plan.h"

namespace kestrune {

// Whether a plan made a while ago still holds: every entry it will act on is still there as
// it was listed (the same entry, and for anything but a folder the same size and
// modification time). Empty when it holds, else the reason naming the first entry that
// changed. A plan carried out after the disk changed would act on what nobody looked at.
std::string planStillHolds(const RunPlan& plan);

}  // namespace kestrune
