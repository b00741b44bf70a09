#pragma once

#include <signal.h>

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

// Holds the termination signals back for its lifetime; one that arrives meanwhile is
// delivered when it ends. Start-up takes the single-instance lock long before the watcher
// exists, and a SIGTERM in between must not kill the program without its save.
class SignalHold {
  public:
    explicit SignalHold(std::initializer_list<int> signalNumbers);
    ~SignalHold();
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

  private:
    sigset_t previous_{};
};

}  // namespace kestrune::shell
