#pragma once

#include <QObject>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace kestrune::shell {

// Turns the termination signals into a Qt signal on the event loop, so that a SIGTERM or
// SIGINT ends the program through Exit and its save like any other request. The handler
// only writes to a pipe; the event loop reads it.
class SignalWatcher : public QObject {
    Q_OBJECT

  public:
    explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalWatcher() override;

  signals:
    void terminationRequested(int signalNumber);

  private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
    std::vector<int> watched_;
};

}  // namespace kestrune::shell
