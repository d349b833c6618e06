// The workstation's time zone, under the Windows names that the pages and the box expect.
#pragma once

#include <string>

namespace platform {

struct CSystemTimeZone {
    std::string strIanaId;        // "Europe/Berlin"; empty when unknown (always on Windows)
    std::string strStandardName;  // Windows standard-time name, "W. Europe Standard Time"
    std::string strDaylightName;  // Windows daylight name, "W. Europe Daylight Time"
    int nBiasMinutes = 0;         // minutes west of UTC, without daylight saving
};

// The system zone ($TZ first, as the C library reads it, then /etc/localtime). A zone with no
// Windows name keeps empty names; "UTC" when nothing is known. On Windows the names and the
// bias are the system's own (GetTimeZoneInformation).
CSystemTimeZone ReadSystemTimeZone();
// The Windows standard-time name of an IANA zone id; empty when there is none. Always empty on
// Windows, which names its zones itself and needs no mapping.
std::string WindowsTimeZoneName(const std::string& strIanaId);

}  // namespace platform
