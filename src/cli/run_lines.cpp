#include "cli/run_lines.h"

#include <cstring>
#include <iostream>

#include "cli/field_escape.h"
#include "platform/console.h"

namespace kestrune::cli {

LinePrinter::LinePrinter()
    : terminal_(outputIsTerminal()), written_(std::chrono::steady_clock::now()) {}

void LinePrinter::step(const PlanStep& step, StepStatus status, const std::string& target,
                       const std::string& error) {
    if (status != StepStatus::Failed && isPlainField(step.source) && isPlainField(target)) {
        return plainStep(step, status, target);
    }
    lines_.append(actionWord(step.action)).push_back('\t');
    appendField(lines_, step.source);
    lines_.push_back('\t');
    appendField(lines_, target);
    end(status, error);
}

void LinePrinter::folder(const FolderProblem& problem) {
    lines_.append("folder\t");
    appendField(lines_, problem.folder);
    lines_.push_back('\t');
    end(StepStatus::Failed, problem.reason);
}

void LinePrinter::passed(const std::string& path, std::string_view reason) {
    lines_.append("passed\t");
    appendField(lines_, path);
    lines_.append("\t\t");
    appendField(lines_, std::string(reason));
    lines_.push_back('\n');
    if (lines_.size() >= kPiece) write();
}

void LinePrinter::text(std::string_view line) {
    lines_.append(line);
    if (lines_.size() >= kPiece) write();
}

void LinePrinter::flush() {
    write();
    std::cout.flush();
}

void LinePrinter::flushWhenDue() {
    if (lines_.empty()) return;
    if (terminal_ || std::chrono::steady_clock::now() - written_ >= kLongestWait) flush();
}

namespace {

char* put(char* out, std::string_view piece, char after) {
    std::memcpy(out, piece.data(), piece.size());
    out[piece.size()] = after;
    return out + piece.size() + 1;
}

}  // namespace

// The line of nearly every step: its pieces copied into room made for all of them.
void LinePrinter::plainStep(const PlanStep& step, StepStatus status, const std::string& target) {
    const std::string_view action = actionWord(step.action);
    const std::string_view word = statusWord(status);
    const std::size_t at = lines_.size();
    lines_.resize(at + action.size() + step.source.size() + target.size() + word.size() + 4);
    char* out = put(lines_.data() + at, action, '\t');
    out = put(out, step.source, '\t');
    out = put(out, target, '\t');
    put(out, word, '\n');
    if (lines_.size() >= kPiece) write();
}

void LinePrinter::end(StepStatus status, const std::string& error) {
    lines_.push_back('\t');
    lines_.append(statusWord(status));
    if (status == StepStatus::Failed) {
        lines_.append(": ");
        appendField(lines_, error);
    }
    lines_.push_back('\n');
    if (lines_.size() >= kPiece) write();
}

void LinePrinter::write() {
    std::cout.write(lines_.data(), static_cast<std::streamsize>(lines_.size()));
    lines_.clear();
    written_ = std::chrono::steady_clock::now();
}

}  // namespace kestrune::cli
