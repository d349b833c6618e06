// The system time zone as Windows keeps it: its standard and daylight names and its bias come
// straight from the system. Windows does not know the zone's IANA id.
#include <windows.h>

#include "platform/time_zone.h"
#include "platform/win32/wide_text.h"

namespace platform {

std::string WindowsTimeZoneName(const std::string&) {
    return std::string();
}

CSystemTimeZone ReadSystemTimeZone() {
    CSystemTimeZone zone;
    TIME_ZONE_INFORMATION info{};
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) {
        zone.strStandardName = zone.strDaylightName = "UTC";
        return zone;
    }
    zone.strStandardName = Utf8FromWide(info.StandardName);
    zone.strDaylightName = Utf8FromWide(info.DaylightName);
    zone.nBiasMinutes = static_cast<int>(info.Bias);
    return zone;
}

}  // namespace platform
