#include <windows.h>

#include <bcrypt.h>

#include "platform/random_source.h"

namespace kestrune {

std::uint64_t trueRandomSeed() {
    std::uint64_t seed = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&seed), sizeof seed,
                        BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        // No random source at all: a counter is the last resort, still seeded only once.
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        return static_cast<std::uint64_t>(counter.QuadPart);
    }
    return seed;
}

}  // namespace kestrune
