#include "platform/local_time.h"

#include <ctime>

namespace kestrune {

LocalDate localDateAt(std::int64_t seconds) {
    const auto time = static_cast<time_t>(seconds);
    struct tm local {};
    if (localtime_r(&time, &local) == nullptr) return {};
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

}  // namespace kestrune
