#include "run/execute/run_figures.h"

namespace kestrune {

void RunFigures::add(StepStatus status) {
    switch (status) {
        case StepStatus::Done:
            ++done;
            return;
        case StepStatus::Failed:
            ++failed;
            return;
        case StepStatus::Same:
        case StepStatus::Busy:
            ++leftAlone;
            return;
        case StepStatus::Merged:
            ++merged;
            return;
        case StepStatus::Planned:
            return;
    }
}

}  // namespace kestrune
