#pragma once

namespace kestrune {

// The user's requests that a long-running command end: Ctrl+C, and the termination request
// of the system or a service manager (SIGINT and SIGTERM; on Windows the console's Ctrl+C,
// Ctrl+Break and close). While an object lives each request calls `stop` instead of ending
// the process; `stop` does no more than a signal handler may. One object at a time.
class StopRequests {
  public:
    using Stop = void (*)();
    explicit StopRequests(Stop stop);
    ~StopRequests();  // requests end the process again
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;
};

// A reader of the standard output that goes away early (`| head`) makes later writes fail
// rather than end the process, so a run goes on to its end.
void keepRunningWhenOutputCloses();

}  // namespace kestrune
