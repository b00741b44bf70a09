#pragma once

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

namespace kestrune::shell {

// The running copy's side of the single-instance guard's channel: a later start of the
// program, which runs no second copy, asks through it to show the window. Only the holder of
// the instance lock listens, so it may take over a socket that a killed copy left behind.
class InstanceChannel : public QObject {
    Q_OBJECT

  public:
    explicit InstanceChannel(QString address, QObject* parent = nullptr);

    // False when nothing can listen at the address; the program runs on without the channel.
    bool listen();
    // Stops listening: a program on its way out shows nothing, and a later start that finds
    // nobody listening waits for the instance lock instead.
    void close();
    QString error() const;

  signals:
    void showRequested();

  private:
    void accept();

    QString address_;
    QLocalServer* server_;
};

// A later start's side: asks the copy that holds the lock to show its window and waits up to
// `wait` for its answer. False when no copy answered: one still starting up, or ending.
bool askRunningCopyToShow(const QString& address, std::chrono::milliseconds wait);

}  // namespace kestrune::shell
