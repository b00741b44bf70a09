#include "shell/instance_channel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace kestrune::shell {

namespace {

// The one request there is, a line of its own, so that more can follow without a new channel.
constexpr char kShowRequest[] = "show\n";
constexpr int kLongestRequest = 64;
constexpr int kConnectMs = 500;
constexpr int kRetryMs = 100;

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

QString InstanceChannel::error() const {
    return server_->errorString();
}

// A request is read once its line is whole; the caller may have gone by then.
void InstanceChannel::accept() {
    while (QLocalSocket* caller = server_->nextPendingConnection()) {
        connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
            if (!caller->canReadLine()) {
                if (caller->bytesAvailable() > kLongestRequest) caller->abort();
                return;
            }
            if (caller->readLine(kLongestRequest) == kShowRequest) emit showRequested();
            caller->disconnectFromServer();
        });
    }
}

bool askRunningCopyToShow(const QString& address, std::chrono::milliseconds wait) {
    const QDeadlineTimer deadline(wait);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(address);
        if (socket.waitForConnected(kConnectMs)) {
            socket.write(kShowRequest);
            const bool sent = socket.waitForBytesWritten(kConnectMs);
            socket.disconnectFromServer();
            if (sent) return true;
        }
        if (deadline.hasExpired()) return false;
        QThread::msleep(kRetryMs);
    }
}

}  // namespace kestrune::shell
