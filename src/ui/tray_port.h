#pragma once

#include <QString>

namespace kestrune::ui {

// The main window's hold on the notification-area icon, which the shell owns. The window
// adds it while it is created, removes it on Exit, and asks whether a notification area
// exists before it hides itself: without one a hidden window could never come back.
class TrayPort {
  public:
    virtual ~TrayPort() = default;
    virtual void add() = 0;
    virtual void remove() = 0;
    virtual bool available() const = 0;
    // A run's end: the icon's tip and, where the desktop shows them, a notification.
    virtual void setTip(const QString& /*tip*/) {}
    virtual void notify(const QString& /*title*/, const QString& /*message*/) {}
};

}  // namespace kestrune::ui
