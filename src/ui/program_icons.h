#pragma once

#include <QIcon>

namespace kestrune::ui {

// The toolbar's seven images, in the order of the image list.
enum class ToolImage { Run, RunWithSubtasks, RunSubtasksOnly, Delete, Edit, NewTask, NewSubtask };

// The tree's marks of a task that runs by itself: on changes in its source, at intervals.
enum class TaskMark { None, Watches, AtIntervals };

// Our own icon: window, tray, About box.
QIcon programIcon();
// The desktop theme's image where it has one, else our own drawing.
QIcon toolImage(ToolImage image);
// Our own drawings, the same on every desktop; None is an empty image of the same size.
QIcon taskMark(TaskMark mark);

}  // namespace kestrune::ui
