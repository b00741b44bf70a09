#pragma once

#include <cstdint>

namespace kestrune {

// A day in the user's time zone.
struct LocalDate {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
};

// The local date of a moment given in seconds since 1970 (UTC); 1970-01-01 when the system
// cannot tell it.
LocalDate localDateAt(std::int64_t seconds);

}  // namespace kestrune
