#pragma once

#include <string>

namespace kestrune {

class SettingsFile;

// Writes the task record `from` again under the name `to`, key by key as stored, so that a
// node renamed in place keeps its task. Only keys present under `from` are written; `from`
// itself stays as it is, as after a rename in the task editor. Throws SettingsWriteError.
void carryRecord(SettingsFile& settings, const std::string& from, const std::string& to);

}  // namespace kestrune
