#include "ui/desktop_links.h"

#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>

namespace kestrune::ui {

void openWithDesktop(QObject* owner, const QUrl& address, const std::function<void()>& refused) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        if (!QDesktopServices::openUrl(address)) refused();
        return;
    }
    // Runs beside the event loop: a handler that keeps xdg-open waiting never blocks the
    // window, and its messages reach our own error output.
    // The owner may be going when the process ends (it is killed with it): no report then.
    auto report = [owner = QPointer<QObject>(owner), refused] {
        if (owner) refused();
    };
    auto* process = new QProcess(owner);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, process,
                     [process, report](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || code != 0) report();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         process->deleteLater();
                         report();
                     });
    process->start(xdgOpen, {address.toString(QUrl::FullyEncoded)});
}

}  // namespace kestrune::ui
