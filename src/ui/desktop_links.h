#pragma once

#include <QUrl>
#include <functional>

class QObject;

namespace kestrune::ui {

// Hands address to the desktop's default handler. When nothing takes it, calls refused: at
// once, or when xdg-open (which reports whether a handler took the address, where Qt alone
// only knows that it was started) ends with a failure.
void openWithDesktop(QObject* owner, const QUrl& address, const std::function<void()>& refused);

}  // namespace kestrune::ui
