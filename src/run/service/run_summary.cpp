#include "run/service/run_summary.h"

#include "run/history/journal_reader.h"

namespace kestrune {

std::string summaryText(const RunSummary& summary) {
    const std::string name = (summary.kind == RunKind::Undo ? "Undo " : "") + summary.task;
    if (!summary.error.empty()) return name + ": not run";
    std::string text = name + ": " + figuresText(summary.figures);
    if (summary.stopped) text += ", stopped";
    return text;
}

RunSummary summaryOf(const JournalContent& run) {
    RunSummary summary;
    summary.kind = run.undoes.empty() ? RunKind::Task : RunKind::Undo;
    summary.task = run.plan.task;
    summary.figures = run.figures;
    summary.stopped = run.ownState() == RunState::Interrupted;
    summary.journalId = run.id;
    return summary;
}

}  // namespace kestrune
