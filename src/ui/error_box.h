#pragma once

#include <QString>

class QWidget;

namespace kestrune::ui {

// The product's name, "Kestrune": the title of the main window and the caption of every
// message box the program shows, whatever the executable is called.
QString applicationTitle();

// The message as the error box shows it: a full stop is added when the last character
// sorts after ".".
QString withFullStop(const QString& message);

// The standard error box: critical icon, OK button, the application title as caption.
void showErrorBox(QWidget* parent, const QString& message);

enum class AfterFailedSave { Retry, Discard, Stay };
// The error box for a save that failed, with the choice of trying again, closing without
// saving, or going back (Escape).
AfterFailedSave askAfterFailedSave(QWidget* parent, const QString& message);

}  // namespace kestrune::ui
