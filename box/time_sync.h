// Sets the box's time zone and clock from the workstation (page command 1).
#pragma once

#include <string>

#include "box/box_channel.h"
#include "platform/date_time.h"
#include "support/operation_report.h"

// The clock text of "SetTime": "utc/YYYY-MM-DD hh:mm:ss" for UTC, the same without "utc/" for
// local time.
std::string FormatBoxTime(const platform::CDateTime& time, bool bUtc);

// Sends "SetTZ <zone>\r" with the zone text unchanged, then "SetTime <time>\r" with the current
// time, in UTC or local form as the zone answer decides, and reports each step. When the box
// took a new zone and set its clock, asks "is_update_tz" and on Yes sends "reset\r". A zone
// too long for the command buffer is not sent: it is reported as a failed zone update and the
// clock is still set, in local form. True when the box set its clock.
bool SyncBoxTime(CBoxChannel& channel, IOperationReport& report, const std::string& strTimeZone);
