#pragma once

#include <QDialog>

namespace kestrune {
class SettingsFile;
class TaskTree;
struct TreeNode;
}  // namespace kestrune

// The task editor: names a task and sets its record. Created once, hidden, and reused.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(kestrune::SettingsFile& settings, QWidget* parent = nullptr);

    // Shows the editor modally on a task node and returns when it is closed. A close saves:
    // the node is renamed through the tree and its record written under the new name.
    void editTask(kestrune::TaskTree& tree, kestrune::TreeNode* node);

private:
    kestrune::SettingsFile& settings_;
};
