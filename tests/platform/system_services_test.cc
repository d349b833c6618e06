#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <thread>

#include "platform/console.h"
#include "platform/date_time.h"
#include "platform/desktop_folders.h"
#include "platform/file_system.h"
#include "platform/host_lookup.h"
#include "platform/random.h"
#include "platform/signals.h"
#include "platform/single_instance.h"
#include "platform/time_zone.h"
#include "platform/tunnel_paths.h"
#include "tests/fakes/test_env.h"

namespace platform {
namespace {

TEST(SingleInstanceTest, SecondLockOfTheNameIsHeldUntilTheFirstIsReleased) {
    const std::string name = "zelvo-test-lock-" + std::to_string(getpid());
    CSingleInstanceLock first, second;
    EXPECT_EQ(first.Acquire(name), InstanceLock::kAcquired);
    EXPECT_EQ(second.Acquire(name), InstanceLock::kAlreadyHeld);
    EXPECT_TRUE(DirectoryExists(GetRuntimeDirectory()));
    if (!kWindows) {
        EXPECT_TRUE(FileExists(JoinPath(GetRuntimeDirectory(), name)));  // the lock file
    }
    first.Release();
    EXPECT_EQ(second.Acquire(name), InstanceLock::kAcquired);
    EXPECT_EQ(first.Acquire(name), InstanceLock::kAlreadyHeld);
    EXPECT_EQ(first.Acquire(JoinPath("no-such-folder", "lock")), InstanceLock::kFailed);
    RemoveFile(JoinPath(GetRuntimeDirectory(), name));
}

TEST(TimeZoneTest, ZoneFromTzGivesWindowsNamesAndRawBias) {
    if (kWindows) GTEST_SKIP() << "Windows names its zone itself, whatever $TZ says";
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
    for (const Case& c : cases) {
        CScopedVariable tz("TZ", c.szTz);
        const CSystemTimeZone zone = ReadSystemTimeZone();
        EXPECT_EQ(zone.strIanaId, c.szIana) << c.szTz;
        EXPECT_EQ(zone.strStandardName, c.szStandard) << c.szTz;
        EXPECT_EQ(zone.strDaylightName, c.szDaylight) << c.szTz;
        EXPECT_EQ(zone.nBiasMinutes, c.nBias) << c.szTz;
    }
}

TEST(TimeZoneTest, WindowsZoneComesFromTheSystemWithoutAnIanaId) {
    if (!kWindows) GTEST_SKIP() << "the zone comes from $TZ here";
    const CSystemTimeZone zone = ReadSystemTimeZone();
    EXPECT_EQ(zone.strIanaId, "");
    EXPECT_FALSE(zone.strStandardName.empty());
    EXPECT_EQ(WindowsTimeZoneName("Europe/Berlin"), "");
}

// Seconds since the epoch that the fields name, read as if they were UTC.
int64_t FieldSeconds(const CDateTime& t) {
    using namespace std::chrono;
    const sys_days day = year{t.nYear} / t.nMonth / t.nDay;
    return duration_cast<seconds>(day.time_since_epoch()).count() + t.nHour * 3600 +
           t.nMinute * 60 + t.nSecond;
}

TEST(DateTimeTest, UtcIsTheSystemClockAndLocalTimeIsOffByTheZonesBias) {
    using namespace std::chrono;
    const auto now = [] { return duration_cast<seconds>(system_clock::now().time_since_epoch()); };
    const int64_t nBefore = now().count();
    const CDateTime utc = CurrentDateTime(true);
    const CDateTime local = CurrentDateTime(false);
    const int64_t nAfter = now().count();
    EXPECT_GE(FieldSeconds(utc), nBefore);
    EXPECT_LE(FieldSeconds(utc), nAfter);
    // In whole quarter hours, as zones are; an hour less bias while daylight saving is on.
    const int nBias = ReadSystemTimeZone().nBiasMinutes;
    const double dQuarters = static_cast<double>(FieldSeconds(local) - FieldSeconds(utc)) / 900;
    const int nOffset = static_cast<int>(std::lround(dQuarters)) * 15;
    EXPECT_TRUE(nOffset == -nBias || nOffset == 60 - nBias) << nOffset << " " << nBias;
}

TEST(RandomTest, FillsALargeBufferToTheEnd) {
    std::string bytes(100000, '\0');
    ASSERT_TRUE(FillRandomBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes.find(std::string(64, '\0')), std::string::npos);  // the tail is filled too
}

TEST(ConsoleTest, SilencedStandardOutputWritesNothingUntilRestored) {
    testing::internal::CaptureStdout();
    std::fputs("a", stdout);
    const int nSaved = SilenceStandardOutput();
    std::fputs("b", stdout);
    RestoreStandardOutput(nSaved);
    RestoreStandardOutput(-1);  // nothing to undo
    std::fputs("c", stdout);
    EXPECT_GE(nSaved, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ac");
}

TEST(ConsoleTest, StandardErrorOnTheNullDeviceIsNoTerminal) {
    std::fflush(stderr);
    const int nSaved = dup(2);
    const int nNull = open(kNullDevice, O_WRONLY);
    ASSERT_GE(nNull, 0);
    ASSERT_EQ(dup2(nNull, 2), kWindows ? 0 : 2);
    const bool bTerminal = IsStandardErrorTerminal();
    dup2(nSaved, 2);
    close(nSaved);
    close(nNull);
    EXPECT_FALSE(bTerminal);
}

TEST(DesktopFoldersTest, DesktopFolderFirstThenTheMenuFolder) {
#ifdef _WIN32
    const std::vector<std::string> folders = GetShortcutFolders();  // the all-users folders
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(FileNameOf(folders[0]), "Desktop");
    EXPECT_EQ(FileNameOf(folders[1]), "Programs");
    EXPECT_STREQ(kShortcutExtension, ".lnk");
#else
    CScopedVariable home("HOME", "/home/u");
    CScopedVariable desktop("XDG_DESKTOP_DIR", "/d");
    CScopedVariable data("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(GetShortcutFolders(),
              (std::vector<std::string>{"/d", "/home/u/.local/share/applications"}));
    EXPECT_STREQ(kShortcutExtension, ".desktop");
#endif
}

TEST(HostLookupTest, LoopbackNamesResolve) {
    std::string address;
    EXPECT_TRUE(ResolveHostIpv4("127.0.0.1", &address));
    EXPECT_EQ(address, "127.0.0.1");
    address.clear();
    EXPECT_TRUE(ResolveHostAddress("localhost", &address));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_FALSE(ResolveHostIpv4("", &address));
    EXPECT_FALSE(ResolveHostAddress("", &address));
}

TEST(TunnelPathsTest, FoldersFollowTheirVariables) {
    {
        CScopedVariable run("TNL_RUN_DIR", "/x/run");
        CScopedVariable ports("ZELVO_PORTS_DIR", "/x/ports");
        EXPECT_EQ(GetTunnelRunDir(), "/x/run");
        EXPECT_EQ(GetSerialPortsDir(), kWindows ? "" : "/x/ports");  // Windows has no folder
    }
    CScopedVariable run("TNL_RUN_DIR", "");
    CScopedVariable runtime("XDG_RUNTIME_DIR", "/x/xdg");
    EXPECT_EQ(GetTunnelRunDir(), kWindows ? JoinPath(GetRuntimeDirectory(), "tnl") : "/x/xdg/tnl");
}

// Sends this process (alone on a console of its own on Windows) a termination request.
void RequestTermination() {
#ifdef _WIN32
    GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0);
#else
    kill(getpid(), SIGINT);
#endif
}

TEST(SignalsTest, FirstTerminationRequestIsACallAndTheSecondEndsTheProcess) {
#ifdef _WIN32
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
        GTEST_SKIP() << "Wine sends no console control events";
    }
    const auto ended = testing::ExitedWithCode(static_cast<int>(STATUS_CONTROL_C_EXIT));
#else
    const auto ended = testing::KilledBySignal(SIGINT);
#endif
    EXPECT_EXIT(
        {
#ifdef _WIN32
            FreeConsole();  // the events of a console reach every process on it
            AllocConsole();
#endif
            std::promise<void> requested;
            HandleTerminationRequests([&] {
                std::fputs("close requested\n", stderr);
                requested.set_value();
            });
            RequestTermination();
            requested.get_future().wait();
            RequestTermination();
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
        },
        ended, "close requested");
}

}  // namespace
}  // namespace platform
