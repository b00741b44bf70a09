#pragma once

#include <QIcon>

namespace kestrune::ui {

// The toolbar's seven images, in the order of the image list.
enum class ToolImage { Run, RunWithSubtasks, RunSubtasksOnly, Delete, Edit, NewTask, NewSubtask };

// Our own icon: window, tray, About box.
QIcon programIcon();
// The desktop theme's image where it has one, else our own drawing.
QIcon toolImage(ToolImage image);

}  // namespace kestrune::ui
