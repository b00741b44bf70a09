#include "shell/instance_channel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace kestrune::shell {

namespace {

// The one request there is and its answer, each a line of its own, so that more can follow
// without a new channel.
constexpr char kShowRequest[] = "show\n";
constexpr char kShown[] = "shown\n";
constexpr int kLongestLine = 64;

}  // namespace

InstanceChannel::InstanceChannel(QString address, QObject* parent)
    : QObject(parent), address_(std::move(address)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept);
}

bool InstanceChannel::listen() {
    QLocalServer::removeServer(address_);  // a killed copy's socket; the lock is ours
    return server_->listen(address_);
}

void InstanceChannel::close() {
    server_->close();
}

QString InstanceChannel::error() const {
    return server_->errorString();
}

// A request is read once its line is whole, and answered once the window was asked to show.
void InstanceChannel::accept() {
    while (QLocalSocket* caller = server_->nextPendingConnection()) {
        connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
            if (!caller->canReadLine()) {
                if (caller->bytesAvailable() > kLongestLine) caller->abort();
                return;
            }
            if (caller->readLine(kLongestLine) == kShowRequest) {
                emit showRequested();
                caller->write(kShown);
            }
            caller->disconnectFromServer();
        });
    }
}

bool askRunningCopyToShow(const QString& address, std::chrono::milliseconds wait) {
    const QDeadlineTimer deadline(wait);
    QLocalSocket socket;
    socket.connectToServer(address);
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) return false;
    socket.write(kShowRequest);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return socket.readLine(kLongestLine) == kShown;
}

}  // namespace kestrune::shell
