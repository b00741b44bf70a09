#include "ui/report_rows.h"

#include <algorithm>

namespace kestrune::ui {

namespace {

QString actionCaption(Action action, StepStatus status) {
    if (status == StepStatus::Merged) return QStringLiteral("Folder");
    switch (action) {
        case Action::Move:
            return QStringLiteral("Move");
        case Action::Copy:
            return QStringLiteral("Copy");
        case Action::Delete:
            return QStringLiteral("Delete");
        case Action::Trash:
            return QStringLiteral("Trash");
        default:
            return QStringLiteral("None");
    }
}

ReportRow row(const PlanStep& step, StepStatus status, const std::string& target,
              const std::string& error) {
    ReportRow out{actionCaption(step.action, status), QString::fromStdString(step.source),
                  QString::fromStdString(target.empty() ? step.target : target),
                  QString::fromLatin1(statusWord(status)), status == StepStatus::Failed};
    if (out.failed) out.status += QStringLiteral(": ") + QString::fromStdString(error);
    return out;
}

void addUnlisted(const RunPlan& plan, std::vector<ReportRow>& rows) {
    for (const FolderProblem& problem : plan.unreadable) {
        rows.push_back({QStringLiteral("List"),
                        QString::fromStdString(problem.folder),
                        {},
                        QStringLiteral("failed: ") + QString::fromStdString(problem.reason),
                        true});
    }
}

std::vector<ReportRow> failedFirst(std::vector<ReportRow> rows) {
    std::stable_partition(rows.begin(), rows.end(), [](const ReportRow& r) { return r.failed; });
    return rows;
}

}  // namespace

std::vector<ReportRow> reportRows(const JournalContent& journal) {
    const RunPlan& plan = journal.plan;
    std::vector<const StepResult*> results(plan.steps.size(), nullptr);
    for (const StepOutcome& outcome : journal.outcomes) {
        if (outcome.index < results.size()) results[outcome.index] = &outcome.result;
    }
    std::vector<ReportRow> rows;
    rows.reserve(plan.steps.size() + plan.unreadable.size());
    addUnlisted(plan, rows);
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const PlanStep& step = plan.steps[i];
        if (const StepResult* result = results[i]) {
            rows.push_back(row(step, result->status, result->target, result->error));
        } else if (step.status == StepStatus::Planned || step.status == StepStatus::Merged) {
            ReportRow notDone = row(step, step.status, {}, {});
            notDone.status = QStringLiteral("not done");
            rows.push_back(notDone);
        } else {
            rows.push_back(row(step, step.status, {}, step.error));
        }
    }
    return failedFirst(std::move(rows));
}

std::vector<ReportRow> reportRows(const RunPlan& plan,
                                  const std::vector<PassedOverEntry>& passedOver) {
    std::vector<ReportRow> rows;
    rows.reserve(plan.steps.size() + plan.unreadable.size() + passedOver.size());
    addUnlisted(plan, rows);
    for (const PlanStep& step : plan.steps) rows.push_back(row(step, step.status, {}, step.error));
    rows = failedFirst(std::move(rows));
    for (const PassedOverEntry& entry : passedOver) {
        rows.push_back({QStringLiteral("Pass"),
                        QString::fromStdString(entry.path),
                        {},
                        QStringLiteral("passed over: ") + QString::fromStdString(entry.reason),
                        false,
                        true});
    }
    return rows;
}

}  // namespace kestrune::ui
