#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "run/history/journal_reader.h"
#include "run/plan/run_plan.h"
#include "ui/run_worker.h"

namespace kestrune::ui {

// One entry of a run as the report shows it.
struct ReportRow {
    QString action;
    QString source;
    QString target;
    QString status;  // the status word; for a failure followed by the reason
    bool failed = false;
    bool passedOver = false;  // listed by a preview's walk and not selected
};

// The rows of a run or of a plan, each made when it is shown: a report of a million entries
// holds the plan itself, kept compactly, and the order of its rows, never a million rows of
// text. Failed rows come first, each group in the order of the run.
class ReportRows {
  public:
    // A carried-out run, read from its journal: what each entry came to, "not done" for
    // entries a stopped run never reached, the folders it could not list.
    explicit ReportRows(std::shared_ptr<const JournalContent> journal);
    // A plan not yet carried out, and after its steps the entries its walk passed over.
    explicit ReportRows(std::shared_ptr<const RunPlan> plan,
                        std::vector<PassedOverEntry> passedOver = {});

    std::size_t size() const { return order_.size(); }
    std::size_t passedOverCount() const { return passedOver_.size(); }
    // Whether the row at that place is a passed-over entry, without making the row.
    bool isPassedOver(std::size_t index) const {
        return order_[index] >= plan_->unreadable.size() + plan_->steps.size();
    }
    // The row at that place; the last one asked for is kept, as a view asks for it once a
    // column.
    const ReportRow& at(std::size_t index) const;

  private:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    void order();
    bool failed(std::size_t row) const;
    ReportRow make(std::size_t row) const;

    std::shared_ptr<const JournalContent> journal_;
    std::shared_ptr<const RunPlan> plan_;  // the journal's plan for a run
    std::vector<PassedOverEntry> passedOver_;
    std::vector<std::uint32_t> outcomes_;  // by step: its outcome in the journal, or kNone
    // Rows in the order shown: the plan's unlisted folders first, then its steps, then the
    // entries passed over.
    std::vector<std::uint32_t> order_;
    mutable std::size_t cachedAt_ = SIZE_MAX;
    mutable ReportRow cached_;
};

}  // namespace kestrune::ui
