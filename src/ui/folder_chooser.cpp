#include "ui/folder_chooser.h"

#include <QFileDialog>

namespace kestrune::ui {

QString chooseDesktopFolder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

}  // namespace kestrune::ui
