#pragma once

#include <memory>

namespace kestrune {

// Wakes a thread that waits for a descriptor, from another thread or from a signal handler,
// so that a loop can sleep until either comes instead of looking again and again.
class WakeSignal {
  public:
    virtual ~WakeSignal() = default;

    // Any thread, and a signal handler: it calls nothing but what such a handler may.
    virtual void raise() noexcept = 0;
    // Waits up to timeoutMs (-1: without limit) until the signal is raised or the other
    // descriptor (-1: none) becomes readable. True when it was raised; it is lowered again.
    virtual bool wait(int other, int timeoutMs) = 0;
};

// Throws std::system_error when the system refuses one.
std::unique_ptr<WakeSignal> makeWakeSignal();

}  // namespace kestrune
