// The system time zone: its IANA id from $TZ or the system's zone files, and the Windows names
// and raw offset of that zone from ICU's time zone data.
#include <limits.h>
#include <unicode/ucal.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/file_system.h"
#include "platform/time_zone.h"

namespace platform {
namespace {

constexpr std::string_view kZoneInfo = "zoneinfo/";

// The zone id of a path below a zoneinfo folder ("/usr/share/zoneinfo/Europe/Berlin"), with
// the "posix/" and "right/" variants of the folder read as the zone itself; empty otherwise.
std::string ZoneIdOfPath(std::string_view path) {
    const size_t nAt = path.rfind(kZoneInfo);
    if (nAt == std::string_view::npos) return {};
    std::string_view id = path.substr(nAt + kZoneInfo.size());
    for (std::string_view variant : {"posix/", "right/"}) {
        if (id.substr(0, variant.size()) == variant) id.remove_prefix(variant.size());
    }
    return std::string(id);
}

// $TZ as the C library reads it: a leading ':' is dropped, an empty value means UTC, a path
// names the zone file. Empty when $TZ is unset or names a file outside a zoneinfo folder.
std::string ZoneIdFromTzVariable() {
    const char* szTz = std::getenv("TZ");
    if (szTz == nullptr) return {};
    std::string_view tz(szTz);
    if (!tz.empty() && tz.front() == ':') tz.remove_prefix(1);
    if (tz.empty()) return "UTC";
    return tz.front() == '/' ? ZoneIdOfPath(tz) : std::string(tz);
}

std::string ZoneIdFromLocaltimeLink() {
    char szTarget[PATH_MAX];
    const ssize_t n = readlink("/etc/localtime", szTarget, sizeof(szTarget) - 1);
    return n > 0 ? ZoneIdOfPath(std::string_view(szTarget, static_cast<size_t>(n))) : std::string();
}

std::string ZoneIdFromTimezoneFile() {
    std::string content;
    if (!ReadFileBytes("/etc/timezone", &content)) return {};
    const size_t nEnd = content.find_first_of(" \t\r\n");
    return content.substr(0, nEnd);
}

std::u16string ToUChars(const std::string& text) {
    std::u16string wide(text.size() + 1, u'\0');
    int32_t nLength = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &nLength, text.data(),
                  static_cast<int32_t>(text.size()), &status);
    wide.resize(U_SUCCESS(status) ? static_cast<size_t>(nLength) : 0);
    return wide;
}

std::string FromUChars(const UChar* pText, int32_t nLength) {
    std::string text(static_cast<size_t>(nLength) * 3 + 1, '\0');
    int32_t nOut = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(text.data(), static_cast<int32_t>(text.size()), &nOut, pText, nLength, &status);
    text.resize(U_SUCCESS(status) ? static_cast<size_t>(nOut) : 0);
    return text;
}

struct CCalendarCloser {
    void operator()(UCalendar* pCalendar) const { ucal_close(pCalendar); }
};

// Minutes west of UTC without daylight saving; 0 for a zone ICU does not know.
int BiasMinutes(const std::string& strIanaId) {
    const std::u16string id = ToUChars(strIanaId);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCalendar, CCalendarCloser> calendar(
        ucal_open(id.data(), static_cast<int32_t>(id.size()), "en_US", UCAL_GREGORIAN, &status));
    if (U_FAILURE(status)) return 0;
    const int32_t nOffsetMs = ucal_get(calendar.get(), UCAL_ZONE_OFFSET, &status);
    return U_SUCCESS(status) ? -nOffsetMs / 60000 : 0;
}

}  // namespace

std::string WindowsTimeZoneName(const std::string& strIanaId) {
    const std::u16string id = ToUChars(strIanaId);
    if (id.empty()) return {};
    UChar szWindows[128];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t nLength = ucal_getWindowsTimeZoneID(id.data(), static_cast<int32_t>(id.size()),
                                                      szWindows, 128, &status);
    return U_SUCCESS(status) && nLength > 0 ? FromUChars(szWindows, nLength) : std::string();
}

CSystemTimeZone ReadSystemTimeZone() {
    CSystemTimeZone zone;
    zone.strIanaId = ZoneIdFromTzVariable();
    if (zone.strIanaId.empty()) zone.strIanaId = ZoneIdFromLocaltimeLink();
    if (zone.strIanaId.empty()) zone.strIanaId = ZoneIdFromTimezoneFile();
    if (zone.strIanaId.empty()) zone.strIanaId = "UTC";
    zone.strStandardName = WindowsTimeZoneName(zone.strIanaId);
    zone.strDaylightName = zone.strStandardName;
    const size_t nAt = zone.strDaylightName.find("Standard");
    if (nAt != std::string::npos) zone.strDaylightName.replace(nAt, 8, "Daylight");
    zone.nBiasMinutes = BiasMinutes(zone.strIanaId);
    return zone;
}

}  // namespace platform
