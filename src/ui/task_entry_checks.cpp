#include "ui/task_entry_checks.h"

#include <string>

#include "run/plan/path_rules.h"
#include "store/task_tree.h"

namespace kestrune::ui {

QString renameProblem(const TaskTree& tree, const TreeNode* node, const std::string& name) {
    return QString::fromStdString(tree.renameProblem(node, name));
}

QString folderProblem(const QString& what, const QString& text) {
    if (const QString problem = lineBreakProblem(what, text); !problem.isEmpty()) return problem;
    if (text.isEmpty() || isAbsolutePath(text.toStdString())) return {};
    return QStringLiteral("The %1 must be a full path, not a relative one").arg(what);
}

QString lineBreakProblem(const QString& what, const QString& text) {
    const bool broken = text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    return broken ? QStringLiteral("The %1 cannot hold a line break").arg(what) : QString();
}

}  // namespace kestrune::ui
