// The wall clock, broken down with the C library's reentrant calendar functions.
#include <time.h>

#include "platform/date_time.h"

namespace platform {

CDateTime CurrentDateTime(bool bUtc) {
    const time_t now = time(nullptr);
    tm fields{};
    const bool bBroken = now != static_cast<time_t>(-1) &&
                         (bUtc ? gmtime_r(&now, &fields) : localtime_r(&now, &fields)) != nullptr;
    if (!bBroken) return CDateTime{};
    return CDateTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                     fields.tm_hour,        fields.tm_min,     fields.tm_sec};
}

}  // namespace platform
