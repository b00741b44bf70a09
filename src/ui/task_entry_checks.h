#pragma once

#include <QString>
#include <string>

namespace kestrune {
class TaskTree;
struct TreeNode;
}  // namespace kestrune

namespace kestrune::ui {

// Why the node cannot take the name box's text: not a task name, or another node's name,
// whose settings the save would overwrite. An empty string when it can.
QString renameProblem(const TaskTree& tree, const TreeNode* node, const std::string& name);

// Why a folder box's text cannot be stored, or an empty string when it can. A task run refuses
// a relative folder, so the editor refuses it while the user can still mend it.
// what names the box in the message, e.g. "source folder".
QString folderProblem(const QString& what, const QString& text);

// Stored values are single lines: a line break would split the record.
QString lineBreakProblem(const QString& what, const QString& text);

}  // namespace kestrune::ui
