#include "ui/Unit2.h"

#include "store/settings_file.h"
#include "store/task_tree.h"

TForm2::TForm2(kestrune::SettingsFile& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Task Editor"));
    setModal(true);
}

void TForm2::editTask(kestrune::TaskTree& /*tree*/, kestrune::TreeNode* /*node*/) { exec(); }
