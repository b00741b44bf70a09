#include <signal.h>

#include <atomic>

#include "platform/stop_requests.h"

namespace kestrune {

namespace {

std::atomic<StopRequests::Stop> stopping{nullptr};

extern "C" void onStopSignal(int /*signal*/) {
    if (const StopRequests::Stop stop = stopping.load()) stop();
}

void handleStopSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
}

}  // namespace

StopRequests::StopRequests(Stop stop) {
    stopping.store(stop);
    handleStopSignals(onStopSignal);
}

StopRequests::~StopRequests() {
    handleStopSignals(SIG_DFL);
    stopping.store(nullptr);
}

void keepRunningWhenOutputCloses() {
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace kestrune
