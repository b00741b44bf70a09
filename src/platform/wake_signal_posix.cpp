#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "platform/file_support_posix.h"
#include "platform/wake_signal.h"

namespace kestrune {

namespace {

class EventWake final : public WakeSignal {
  public:
    EventWake() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (!fd_.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
    }

    void raise() noexcept override {
        const int saved = errno;  // a signal handler must leave errno as it found it
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
        errno = saved;
    }

    bool wait(int other, int timeoutMs) override {
        pollfd waiting[2] = {{fd_.get(), POLLIN, 0}, {other, POLLIN, 0}};
        const nfds_t count = other >= 0 ? 2 : 1;
        if (::poll(waiting, count, timeoutMs) <= 0) return false;  // timed out or interrupted
        if ((waiting[0].revents & POLLIN) == 0) return false;
        std::uint64_t raised = 0;
        [[maybe_unused]] const ssize_t got = ::read(fd_.get(), &raised, sizeof raised);
        return true;
    }

  private:
    posix::Descriptor fd_;
};

}  // namespace

std::unique_ptr<WakeSignal> makeWakeSignal() {
    return std::make_unique<EventWake>();
}

}  // namespace kestrune
