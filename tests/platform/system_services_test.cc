#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/random.h"
#include "platform/single_instance.h"
#include "platform/time_zone.h"

namespace platform {
namespace {

TEST(SingleInstanceTest, SecondLockOfTheNameIsHeldUntilTheFirstIsReleased) {
    const std::string name = "zelvo-test-lock-" + std::to_string(getpid());
    CSingleInstanceLock first, second;
    EXPECT_EQ(first.Acquire(name), InstanceLock::kAcquired);
    EXPECT_EQ(second.Acquire(name), InstanceLock::kAlreadyHeld);
    EXPECT_TRUE(FileExists(JoinPath(GetRuntimeDirectory(), name)));
    first.Release();
    EXPECT_EQ(second.Acquire(name), InstanceLock::kAcquired);
    EXPECT_EQ(first.Acquire(name), InstanceLock::kAlreadyHeld);
    EXPECT_EQ(first.Acquire("no-such-folder/lock"), InstanceLock::kFailed);
    RemoveFile(JoinPath(GetRuntimeDirectory(), name));
}

TEST(TimeZoneTest, ZoneFromTzGivesWindowsNamesAndRawBias) {
    struct Case {
        const char *szTz, *szIana, *szStandard, *szDaylight;
        int nBias;
    };
    const Case cases[] = {
        {"Europe/Berlin", "Europe/Berlin", "W. Europe Standard Time", "W. Europe Daylight Time",
         -60},
        {":Asia/Shanghai", "Asia/Shanghai", "China Standard Time", "China Daylight Time", -480},
        {"/usr/share/zoneinfo/America/New_York", "America/New_York", "Eastern Standard Time",
         "Eastern Daylight Time", 300},
        {"", "UTC", "UTC", "UTC", 0},
        {"Nowhere/Atlantis", "Nowhere/Atlantis", "", "", 0},
    };
    const char* szOld = std::getenv("TZ");
    const std::string old = szOld != nullptr ? szOld : "";
    for (const Case& c : cases) {
        setenv("TZ", c.szTz, 1);
        const CSystemTimeZone zone = ReadSystemTimeZone();
        EXPECT_EQ(zone.strIanaId, c.szIana) << c.szTz;
        EXPECT_EQ(zone.strStandardName, c.szStandard) << c.szTz;
        EXPECT_EQ(zone.strDaylightName, c.szDaylight) << c.szTz;
        EXPECT_EQ(zone.nBiasMinutes, c.nBias) << c.szTz;
    }
    szOld != nullptr ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
}

TEST(RandomTest, FillsALargeBufferToTheEnd) {
    std::string bytes(100000, '\0');
    ASSERT_TRUE(FillRandomBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes.find(std::string(64, '\0')), std::string::npos);  // the tail is filled too
}

}  // namespace
}  // namespace platform
