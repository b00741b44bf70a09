#pragma once

#include <QString>

namespace kestrune {
struct RunReport;
}

namespace kestrune::ui {

// What the user must hear of a finished run: why it could not run, or which entries failed
// (the first few, with the system's reason). Empty when every entry was done.
QString runProblem(const RunReport& report);

}  // namespace kestrune::ui
