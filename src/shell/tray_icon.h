#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "ui/tray_port.h"

class QMenu;
class TForm1;

namespace kestrune::shell {

// The program's icon in the notification area and its menu PopupMenu2. It stays visible for
// the whole run, so Qt puts it back when the notification area restarts.
class TrayIcon : public QObject, public ui::TrayPort {
    Q_OBJECT

  public:
    using AvailabilityQuery = std::function<bool()>;

    explicit TrayIcon(TForm1& window,
                      AvailabilityQuery available = &QSystemTrayIcon::isSystemTrayAvailable);
    ~TrayIcon() override;

    void add() override;
    void remove() override;
    bool available() const override;
    void setTip(const QString& tip) override;
    void notify(const QString& title, const QString& message) override;

    QSystemTrayIcon& icon() { return *icon_; }
    QMenu& menu() { return *menu_; }

  private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    TForm1& window_;
    AvailabilityQuery available_;
    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_;
};

}  // namespace kestrune::shell
