#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrune {

// A stored integer as the settings file reads it: decimal within 32 bits, or hexadecimal of up
// to 8 digits after "$", "x", "X" or a leading "0x"/"0X", taken as a 32-bit pattern; optional
// leading blanks and sign. Anything else (a stray character, a trailing blank) is no number.
std::optional<std::int32_t> parseStoredInteger(std::string_view text);

}  // namespace kestrune
