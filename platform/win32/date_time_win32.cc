// The wall clock from the system's calendar time.
#include <windows.h>

#include "platform/date_time.h"

namespace platform {

CDateTime CurrentDateTime(bool bUtc) {
    SYSTEMTIME now{};
    bUtc ? GetSystemTime(&now) : GetLocalTime(&now);
    return CDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace platform
