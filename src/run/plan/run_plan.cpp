#include "run/plan/run_plan.h"

namespace kestrune {

const char* statusWord(StepStatus status) {
    switch (status) {
        case StepStatus::Planned:
            return "planned";
        case StepStatus::Merged:
            return "merged";
        case StepStatus::Same:
            return "same";
        case StepStatus::Busy:
            return "busy";
        case StepStatus::Done:
            return "ok";
        case StepStatus::Failed:
            return "failed";
    }
    return "failed";
}

}  // namespace kestrune
