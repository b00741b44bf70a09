#include <windows.h>

#include <atomic>

#include "platform/stop_requests.h"

namespace kestrune {

namespace {

std::atomic<StopRequests::Stop> stopping{nullptr};

// Called on a thread of its own. Closing the console ends the process once this returns, so
// the run is told at once; it ends after the entry it is on.
BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (const StopRequests::Stop stop = stopping.load()) {
                stop();
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

StopRequests::StopRequests(Stop stop) {
    stopping.store(stop);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(onConsoleControl, FALSE);
    stopping.store(nullptr);
}

// Windows has no signal for a closed pipe: a write to it fails and the program goes on.
void keepRunningWhenOutputCloses() {}

}  // namespace kestrune
