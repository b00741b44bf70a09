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
            ++planned;
            return;
    }
}

RunFigures& RunFigures::operator+=(const RunFigures& other) {
    done += other.done;
    failed += other.failed;
    leftAlone += other.leftAlone;
    merged += other.merged;
    planned += other.planned;
    return *this;
}

std::string figuresText(const RunFigures& figures) {
    const bool preview = figures.planned > 0 && figures.done == 0;
    std::string text = preview ? std::to_string(figures.planned) + " planned"
                               : std::to_string(figures.done) + " done";
    text += ", " + std::to_string(figures.failed) + " failed";
    if (figures.leftAlone > 0) text += ", " + std::to_string(figures.leftAlone) + " left alone";
    if (figures.merged > 0) {
        text += ", " + std::to_string(figures.merged) +
                (figures.merged == 1 ? " folder merged" : " folders merged");
    }
    return text;
}

}  // namespace kestrune
