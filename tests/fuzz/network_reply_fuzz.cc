// Replies of the box's network test, in both forms, as the report reads them.
//
// Input: the first byte holds the box type's function bits, the rest is the reply. The reply
// goes to the JSON form with those bits and to the text form, and serves as a ping format too.
// Properties that must hold:
//  - every raw line is valid UTF-8, whatever bytes the box sent;
//  - the JSON form writes at most one section per interface the bits allow (the 2G section is
//    always allowed) and the closing line; the text form at most three sections and its close;
//  - a valid UTF-8 ping format gives valid UTF-8 text.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "box/network_test.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "tests/fakes/recording_report.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxJsonSectionLines = 7;  // separator, address, MAC or IMEI, server: 1+2+2+2
constexpr size_t kMaxTextSectionLines = 6;  // separator, set failure, address 2, server 2

// The scratch folder becomes the program directory, with the English ping format.
void MakeProgramDirectory() {
    const std::string& dir = ScratchDirectory();
    const std::string i18n = platform::JoinPath(platform::JoinPath(dir, "html"), "i18n");
    platform::CreateDirectories(i18n);
    platform::WriteFileAtomic(platform::JoinPath(i18n, "strings_en.properties"),
                              "string_format=%.2f ms / %.2f ms / %.2f ms\n");
    platform::SetProgramDirectory(dir);
}

void CheckReport(const CRecordingReport& report, size_t nMaxLines, std::string_view form) {
    if (report.entries.size() > nMaxLines) {
        ReportViolation(std::string(form) + " form writes too many lines",
                        std::to_string(nMaxLines), std::to_string(report.entries.size()));
    }
    for (const auto& [nMode, text] : report.entries) {
        if (nMode == kScriptRawLine && !platform::IsValidUtf8(text)) {
            ReportViolation(std::string(form) + " form writes a line that is not UTF-8", "", text);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool bReady = (MakeProgramDirectory(), true);
    (void)bReady;
    const unsigned nBits = size > 0 ? data[0] : 0;
    const std::string_view reply = size > 0 ? AsText(data + 1, size - 1) : std::string_view();

    CRecordingReport json;
    ReportJsonNetwork(reply, nBits, json);
    const size_t nSections = static_cast<size_t>(std::popcount(nBits & 7u)) + 1;
    CheckReport(json, nSections * kMaxJsonSectionLines + 1, "JSON");

    CRecordingReport text;
    ReportTextNetwork(reply, text);
    CheckReport(text, 3 * kMaxTextSectionLines + 1, "text");

    if (platform::IsValidUtf8(reply)) {
        const double dNan = std::numeric_limits<double>::quiet_NaN();
        const std::string formatted = FormatPingTimes(reply, 1.5, -2e300, dNan);
        if (!platform::IsValidUtf8(formatted)) {
            ReportViolation("ping format gives text that is not UTF-8", "", formatted);
        }
    }
    return 0;
}
