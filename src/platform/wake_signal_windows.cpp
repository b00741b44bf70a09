#include <windows.h>

#include <system_error>

#include "platform/file_support_windows.h"
#include "platform/wake_signal.h"

namespace kestrune {

namespace {

// The other "descriptor" is a waitable handle's value (FolderWatch::descriptor()): Windows
// keeps handle values within 32 bits, so an int carries one.
class EventWake final : public WakeSignal {
  public:
    EventWake() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        if (!event_.valid()) {
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                    "CreateEvent");
        }
    }

    void raise() noexcept override { SetEvent(event_.get()); }

    bool wait(int other, int timeoutMs) override {
        const HANDLE waiting[2] = {event_.get(), LongToHandle(other)};
        const DWORD count = other >= 0 ? 2 : 1;
        const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        // The first signalled object is told: this one first, and an auto-reset event is
        // lowered again by the wait itself.
        return WaitForMultipleObjects(count, waiting, FALSE, limit) == WAIT_OBJECT_0;
    }

  private:
    windows::Handle event_;
};

}  // namespace

std::unique_ptr<WakeSignal> makeWakeSignal() {
    return std::make_unique<EventWake>();
}

}  // namespace kestrune
