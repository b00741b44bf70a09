#include "cli/run_lines.h"

#include <iostream>

#include "cli/field_escape.h"

namespace kestrune::cli {

namespace {

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
        default:
            return "none";
    }
}

}  // namespace

void LinePrinter::step(const PlanStep& step, StepStatus status, const std::string& target,
                       const std::string& error) {
    line_.assign(actionWord(step.action)).push_back('\t');
    appendField(line_, step.source);
    line_.push_back('\t');
    appendField(line_, target);
    end(status, error);
}

void LinePrinter::folder(const FolderProblem& problem) {
    line_.assign("folder\t");
    appendField(line_, problem.folder);
    line_.push_back('\t');
    end(StepStatus::Failed, problem.reason);
}

void LinePrinter::flush() {
    std::cout.flush();
}

void LinePrinter::end(StepStatus status, const std::string& error) {
    line_.push_back('\t');
    line_.append(statusWord(status));
    if (status == StepStatus::Failed) {
        line_.append(": ");
        appendField(line_, error);
    }
    line_.push_back('\n');
    std::cout.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

}  // namespace kestrune::cli
