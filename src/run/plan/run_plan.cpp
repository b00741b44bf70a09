#include "run/plan/run_plan.h"

namespace kestrune {

const char* actionWord(Action action) {
    switch (action) {
        case Action::Move:
            return "move";
        case Action::Copy:
            return "copy";
        case Action::Delete:
            return "delete";
        case Action::Trash:
            return "trash";
        case Action::PutBack:
            return "put back";
        case Action::RemoveCopy:
            return "remove copy";
        case Action::Place:
            return "place";
        case Action::None:
            break;
    }
    return "none";
}

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
