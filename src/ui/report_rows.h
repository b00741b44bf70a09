#pragma once

#include <QString>
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

// The rows of a carried-out run, read from its journal: what each entry came to, "not done"
// for entries a stopped run never reached, the folders it could not list. Failed rows
// come first, each group in the order of the run.
std::vector<ReportRow> reportRows(const JournalContent& journal);
// The rows of a plan not yet carried out, failures first as well, and after them the entries
// its walk passed over.
std::vector<ReportRow> reportRows(const RunPlan& plan,
                                  const std::vector<PassedOverEntry>& passedOver = {});

}  // namespace kestrune::ui
