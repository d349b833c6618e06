// The wall-clock date and time, broken down into its calendar fields.
#pragma once

namespace platform {

struct CDateTime {
    int nYear;    // four digits, e.g. 2024
    int nMonth;   // 1 to 12
    int nDay;     // 1 to 31
    int nHour;    // 0 to 23
    int nMinute;  // 0 to 59
    int nSecond;  // 0 to 60 (a leap second)
};

// The current date and time: in UTC when bUtc is true, else in the system's local time zone.
// A clock that cannot be read or broken down gives all fields 0.
CDateTime CurrentDateTime(bool bUtc);

}  // namespace platform
