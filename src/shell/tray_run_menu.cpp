#include "shell/tray_run_menu.h"

#include <QMenu>

#include "store/task_tree.h"
#include "ui/Unit1.h"

namespace kestrune::shell {

namespace {

// Names are shown as they are: an "&" is no accelerator.
QString caption(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

void fillRunMenu(QMenu& menu, TForm1& window) {
    menu.clear();
    for (const auto& group : window.tree().roots()) {
        QMenu* tasks = menu.addMenu(caption(group->text));
        const auto nodes = TaskTree::preOrder(group.get());
        for (auto it = nodes.begin() + 1; it != nodes.end(); ++it) {
            TreeNode* node = *it;
            const QString indent(2 * (node->level() - 1), QLatin1Char(' '));
            QAction* run = tasks->addAction(indent + caption(node->text));
            QObject::connect(run, &QAction::triggered, &window,
                             [&window, node] { window.runNode(node); });
        }
        tasks->setEnabled(nodes.size() > 1);
    }
    menu.setEnabled(!window.tree().roots().empty());
}

}  // namespace kestrune::shell
