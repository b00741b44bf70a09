#include "platform/random_source.h"

#include <sys/random.h>

#include <cerrno>
#include <chrono>
#include <cstddef>

namespace kestrune {

std::uint64_t trueRandomSeed() {
    std::uint64_t seed = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&seed);
    std::size_t got = 0;
    while (got < sizeof seed) {
        const ssize_t n = getrandom(bytes + got, sizeof seed - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            // No entropy source at all: a clock is the last resort, still seeded only once.
            return static_cast<std::uint64_t>(
                std::chrono::steady_clock::now().time_since_epoch().count());
        }
    }
    return seed;
}

}  // namespace kestrune
