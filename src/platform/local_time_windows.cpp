#include "platform/local_time.h"

#include <ctime>

namespace kestrune {

LocalDate localDateAt(std::int64_t seconds) {
    const auto time = static_cast<time_t>(seconds);
    struct tm local {};
    // The C runtime's thread-safe form, its arguments the other way round.
    if (localtime_s(&local, &time) != 0) return {};
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace kestrune
