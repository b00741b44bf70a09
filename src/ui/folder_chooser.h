#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kestrune::ui {

// Asks the user for a folder. Returns its path, or an empty string when the user cancelled.
// start is where the chooser opens, if it names a folder.
using FolderChooser =
    std::function<QString(QWidget* parent, const QString& title, const QString& start)>;

// The desktop's own folder chooser.
QString chooseDesktopFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace kestrune::ui
