#pragma once

#include <QString>
#include <string>

namespace kestrune {
class SettingsFile;
}

namespace kestrune::ui {

// Runs the task and returns what the user must hear of it: why it could not run, or which
// entries failed (the first few, with the system's reason). Empty when every entry was done.
QString runTaskProblems(const SettingsFile& settings, const std::string& task);

}  // namespace kestrune::ui
