#include "box/time_sync.h"

#include <gtest/gtest.h>

#include <regex>

#include "tests/fakes/recording_report.h"
#include "tests/fakes/scripted_box_link.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* kUtc = "SetTime utc/\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r";
constexpr const char* kLocal = "SetTime \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r";

TEST(SyncBoxTimeTest, ZoneAnswerDecidesTimeFormAndRestart) {
    const std::string kZone = "China Standard Time";
    const std::string kLong(504, 'z');  // "SetTZ " + 504 + "\r" + NUL fills 512 bytes
    struct {
        std::string zone;
        std::deque<std::string> receives;
        bool bYes;
        std::string sentPattern;
        Lines lines;  // after the two opening lines
        bool bAsked;
    } const cases[] = {
        {kZone, {"OK\r", "OK\r"}, true, "SetTZ China Standard Time\r" + std::string(kUtc) + "reset\r",
         {"L:update_tz_success", "L:update_time_success"}, true},
        {kZone, {"OK\r", "OK\r"}, false, "SetTZ China Standard Time\r" + std::string(kUtc),
         {"L:update_tz_success", "L:update_time_success"}, true},
        {"", {"END\r", "OK\r"}, true, "SetTZ \r" + std::string(kUtc),
         {"L:update_tz_same", "L:update_time_success"}, false},
        {kZone, {"setTZ failed", "OK\rmore"}, true, ".*\r" + std::string(kUtc),
         {"L:update_tz_fail", "L:update_time_success"}, false},
        {kZone, {"ERROR\r", "OK\r"}, true, ".*\r" + std::string(kLocal),
         {"L:update_tz_err_update_firm", "L:update_time_success"}, false},
        {kZone, {"", "", "", "", "", "OKx"}, true, ".*\r" + std::string(kLocal),
         {"L:update_tz_fail", "L:update_time_failed"}, false},
        {kZone, {"OK", "OK"}, true, ".*\r" + std::string(kLocal),
         {"L:update_tz_fail", "L:update_time_failed"}, false},
        {kLong, {"OK\r", "OK\r"}, false, "SetTZ z{504}\r" + std::string(kUtc),
         {"L:update_tz_success", "L:update_time_success"}, true},
        {kLong + "z", {"OK\r"}, true, kLocal,  // refused, not cut: the clock is still set
         {"L:update_tz_fail", "L:update_time_success"}, false},
    };
    for (const auto& c : cases) {
        CScriptedBoxLink link;
        link.receives = c.receives;
        CBoxChannel channel(CBoxTiming{0});
        channel.SetActiveLink(&link);
        CRecordingReport report;
        report.bAnswerYes = c.bYes;
        const bool bSet = SyncBoxTime(channel, report, c.zone);
        Lines expected = {std::string("R:") + kSeparatorLine, "L:updating_time"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_TRUE(std::regex_match(link.strSent, std::regex(c.sentPattern)))
            << c.sentPattern << " vs " << link.strSent;
        EXPECT_EQ(report.Lines(), expected) << c.receives.front();
        EXPECT_EQ(bSet, c.lines.back() == "L:update_time_success");
        EXPECT_EQ(report.questions, c.bAsked ? Lines{"is_update_tz"} : Lines{});
    }
}

TEST(SyncBoxTimeTest, TimeTextForms) {
    const platform::CDateTime time{2024, 3, 5, 7, 8, 9};
    EXPECT_EQ(FormatBoxTime(time, true), "utc/2024-03-05 07:08:09");
    EXPECT_EQ(FormatBoxTime(time, false), "2024-03-05 07:08:09");
}

}  // namespace
