#include "shell/signal_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace kestrune::shell {

namespace {

int pipeEnds[2] = {-1, -1};

extern "C" void onSignal(int signalNumber) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), watched_(signalNumbers) {
    if (pipeEnds[0] < 0 && pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::drain);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : watched_) sigaction(number, &action, nullptr);
}

SignalWatcher::~SignalWatcher() {
    // Later signals end the process the ordinary way again.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int number : watched_) sigaction(number, &action, nullptr);
}

SignalHold::SignalHold(std::initializer_list<int> signalNumbers) {
    sigset_t held;
    sigemptyset(&held);
    for (const int number : signalNumbers) sigaddset(&held, number);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

SignalHold::~SignalHold() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void SignalWatcher::drain() {
    unsigned char byte = 0;
    while (read(pipeEnds[0], &byte, 1) == 1) emit terminationRequested(byte);
}

}  // namespace kestrune::shell
