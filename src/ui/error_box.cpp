#include "ui/error_box.h"

#include <QMessageBox>

namespace kestrune::ui {

QString applicationTitle() {
    return QStringLiteral("Kestrune");
}

QString withFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void showErrorBox(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, applicationTitle(), withFullStop(message));
}

AfterFailedSave askAfterFailedSave(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, applicationTitle(), withFullStop(message),
                    QMessageBox::Retry | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setInformativeText(QStringLiteral("The task was not saved."));
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Retry:
            return AfterFailedSave::Retry;
        case QMessageBox::Discard:
            return AfterFailedSave::Discard;
        default:
            return AfterFailedSave::Stay;
    }
}

}  // namespace kestrune::ui
