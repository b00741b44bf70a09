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

}  // namespace

ReportRows::ReportRows(std::shared_ptr<const JournalContent> journal)
    : journal_(std::move(journal)),
      plan_(journal_, &journal_->plan),
      outcomes_(plan_->steps.size(), kNone) {
    for (std::size_t i = 0; i < journal_->outcomes.size(); ++i) {
        const std::size_t step = journal_->outcomes[i].index;
        if (step < outcomes_.size()) outcomes_[step] = static_cast<std::uint32_t>(i);
    }
    order();
}

ReportRows::ReportRows(std::shared_ptr<const RunPlan> plan, std::vector<PassedOverEntry> passedOver)
    : plan_(std::move(plan)), passedOver_(std::move(passedOver)) {
    order();
}

void ReportRows::order() {
    const std::size_t rows = plan_->unreadable.size() + plan_->steps.size() + passedOver_.size();
    order_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) order_[i] = static_cast<std::uint32_t>(i);
    std::stable_partition(order_.begin(), order_.end(),
                          [this](std::uint32_t row) { return failed(row); });
}

bool ReportRows::failed(std::size_t row) const {
    const std::size_t unlisted = plan_->unreadable.size();
    if (row < unlisted) return true;
    const std::size_t step = row - unlisted;
    if (step >= plan_->steps.size()) return false;  // passed over
    if (!outcomes_.empty() && outcomes_[step] != kNone) {
        return journal_->outcomes[outcomes_[step]].result.status == StepStatus::Failed;
    }
    return plan_->steps.status(step) == StepStatus::Failed;
}

const ReportRow& ReportRows::at(std::size_t index) const {
    if (index != cachedAt_) {
        cached_ = make(order_[index]);
        cachedAt_ = index;
    }
    return cached_;
}

ReportRow ReportRows::make(std::size_t row) const {
    const std::size_t unlisted = plan_->unreadable.size();
    if (row < unlisted) {
        const FolderProblem& problem = plan_->unreadable[row];
        return {QStringLiteral("List"),
                QString::fromStdString(problem.folder),
                {},
                QStringLiteral("failed: ") + QString::fromStdString(problem.reason),
                true};
    }
    const std::size_t index = row - unlisted;
    if (index >= plan_->steps.size()) {
        const PassedOverEntry& entry = passedOver_[index - plan_->steps.size()];
        return {QStringLiteral("Pass"),
                QString::fromStdString(entry.path),
                {},
                QStringLiteral("passed over: ") + QString::fromStdString(entry.reason),
                false,
                true};
    }
    const PlanStep step = plan_->steps[index];
    if (!outcomes_.empty() && outcomes_[index] != kNone) {
        const StepResult& result = journal_->outcomes[outcomes_[index]].result;
        return kestrune::ui::row(step, result.status, result.target, result.error);
    }
    if (journal_ && (step.status == StepStatus::Planned || step.status == StepStatus::Merged)) {
        ReportRow notDone = kestrune::ui::row(step, step.status, {}, {});
        notDone.status = QStringLiteral("not done");
        return notDone;
    }
    return kestrune::ui::row(step, step.status, {}, step.error);
}

}  // namespace kestrune::ui
