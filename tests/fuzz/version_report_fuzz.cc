// The version report: the input is the kernel text, a list version, then what the box link
// delivers receive by receive (fields split at 0x1F). The reply goes through the version query;
// the line search, the comparison and the selection must keep their rules on whatever came.
#include <algorithm>
#include <deque>
#include <string>

#include "box/box_channel.h"
#include "box/update_list.h"
#include "tests/fakes/scripted_box_link.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxReceives = 12;
const char* const kKeys[] = {"OSVER:", "fsFLASHVER:", "version", "kernel:"};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

void CheckLine(const std::string& report, std::string_view key, std::string_view listVersion) {
    const std::string line = FindVersionLine(report, key);
    if (line.size() > kMaxVersionLine) ReportViolation("line longer than 255", line);
    if (line.find_first_of("\r\n") != std::string::npos) ReportViolation("line end kept", line);
    if (line.empty()) return;
    if (report.find(line) == std::string::npos) ReportViolation("line not in report", line);
    if (line.size() >= key.size() && !EqualsIgnoringCase(line.substr(0, key.size()), key)) {
        ReportViolation("line does not start with its key", key, line);
    }
    const std::string_view box = std::string_view(line).substr(std::min(key.size(), line.size()));
    if (IsNewerVersion(box, box)) ReportViolation("a version newer than itself", box);
    if (IsNewerVersion(listVersion, box) && IsNewerVersion(box, listVersion)) {
        ReportViolation("each version newer than the other", listVersion, box);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields =
        SplitRecords(AsText(data, size), kFuzzUnitSep, kMaxReceives + 2);
    const std::string kernel(fields[0]);
    const std::string listVersion(fields.size() > 1 ? fields[1] : "");
    CScriptedBoxLink link;
    for (size_t i = 2; i < fields.size(); ++i) link.receives.emplace_back(fields[i]);
    CBoxChannel channel(CBoxTiming{0, 0, 0});
    channel.SetActiveLink(&link);
    CReplyBuffer reply(kLargeReplySize);
    channel.QueryAllVersions(&reply);
    const std::string report = reply.Text();

    std::vector<UpdateRecord> records;
    for (const char* szKey : kKeys) {
        CheckLine(report, szKey, listVersion);
        UpdateRecord record;
        record.strVersionKey = szKey;
        record.strVersion = listVersion;
        records.push_back(record);
    }
    const CUpdateSelection selection = SelectUpdates(report, kernel, "NEW", &records);
    const bool bVersionLine = !FindVersionLine(report, "version").empty();
    if (selection.bLegacy == bVersionLine)
        ReportViolation("legacy flag against the report", report);
    if (!bVersionLine && records[2].nUpdateFlag != 1) ReportViolation("legacy record not updated");
    if (records[1].nUpdateFlag == 0 && FindVersionLine(report, "fsFLASHVER:").empty()) {
        ReportViolation("missing flash version line not updated", report);
    }
    return 0;
}
