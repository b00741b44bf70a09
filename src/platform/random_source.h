#pragma once

#include <cstdint>

namespace kestrune {

// A seed drawn from the system's true random source; never from a clock, since two
// seeds taken within one clock tick would repeat.
std::uint64_t trueRandomSeed();

}  // namespace kestrune
