#pragma once

#include <QString>
#include <string>

namespace kestrune::ui {

// Text as a table cell shows it: each control character as an escape (\n, \t, \r, \x1b, ...),
// so that a name with a line break stays on its line and shows the break.
QString escapedControls(const QString& text);

// A path as it is shown below one of the task's folders: relative to that folder when it lies
// inside it, else whole. The folder may end with "/" or not; empty: the path whole.
QString pathBelow(const QString& path, const QString& folder);

// A journal's time (ISO 8601, UTC) in the user's local time, "2026-12-09 12:47:15"; the text
// as it is when it is no such time.
QString localTime(const std::string& utc);

}  // namespace kestrune::ui
