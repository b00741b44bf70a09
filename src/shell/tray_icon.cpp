#include "shell/tray_icon.h"

#include <QMenu>

#include "shell/tray_run_menu.h"
#include "ui/Unit1.h"

namespace kestrune::shell {

TrayIcon::TrayIcon(TForm1& window, AvailabilityQuery available)
    : window_(window),
      available_(std::move(available)),
      menu_(std::make_unique<QMenu>()),
      icon_(new QSystemTrayIcon(this)) {
    menu_->setObjectName(QStringLiteral("PopupMenu2"));
    const auto item = [this](const char* name, const QString& caption, auto command) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, &window_, command);
    };
    item("showit", QStringLiteral("&Show Kestrune"), &TForm1::showMainWindow);
    QMenu* run = menu_->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("Run1"));
    run->menuAction()->setObjectName(QStringLiteral("Run1"));
    connect(menu_.get(), &QMenu::aboutToShow, this, [this, run] {
        fillRunMenu(*run, window_);
        if (window_.runGoing()) run->setEnabled(false);  // one run at a time
        menu_->findChild<QAction*>(QStringLiteral("UndoLastRun2"))->setEnabled(!window_.runGoing());
    });
    item("UndoLastRun2", QStringLiteral("&Undo Last Run"), &TForm1::UndoLastRun);
    menu_->addSeparator()->setObjectName(QStringLiteral("N4"));
    item("Help3", QStringLiteral("&Help"), &TForm1::ShowHelp);
    item("About2", QStringLiteral("&About"), &TForm1::ShowAbout);
    item("CheckVersion2", QStringLiteral("Check &Version"), &TForm1::CheckVersion);
    menu_->addSeparator()->setObjectName(QStringLiteral("N5"));
    item("Exit2", QStringLiteral("E&xit"), &TForm1::ExitProgram);

    icon_->setIcon(window_.windowIcon());
    icon_->setToolTip(window_.windowTitle());
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    connect(icon_, &QSystemTrayIcon::messageClicked, &window_, &TForm1::ShowRunReport);
}

TrayIcon::~TrayIcon() {
    icon_->hide();
}

void TrayIcon::add() {
    icon_->show();
}

void TrayIcon::remove() {
    icon_->hide();
}

bool TrayIcon::available() const {
    return available_();
}

void TrayIcon::setTip(const QString& tip) {
    icon_->setToolTip(tip);
}

void TrayIcon::notify(const QString& title, const QString& message) {
    if (QSystemTrayIcon::supportsMessages()) icon_->showMessage(title, message);
}

// A left click, single or double, brings the window back; a right click opens the menu,
// which Qt does through the context menu.
void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
        window_.showMainWindow();
    }
}

}  // namespace kestrune::shell
