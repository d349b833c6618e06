// The update list: the input is a box type's serial number, its kernel text and the list text
// (split at 0x1F). Checks the record limit and text cuts, that a multi-name kernel text never
// matches (parts are compared whole), that a second read gives the same records, and that the
// version check over them flags exactly the records it names in its summary.
#include <algorithm>
#include <string>

#include "box/update_list.h"
#include "support/xml_document.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Describe(const std::vector<UpdateRecord>& records) {
    std::string text;
    for (const UpdateRecord& r : records) {
        text += r.strImageName + '|' + r.strBoxName + '|' + r.strVersionKey + '|' + r.strVersion +
                '|' + r.strMd5 + '\n';
    }
    return text;
}

void CheckRecords(const std::vector<UpdateRecord>& records, bool bResult,
                  const CBoxTypeRecord& boxType) {
    if (bResult != !records.empty()) ReportViolation("result without records", Describe(records));
    if (records.size() > kMaxUpdateRecords) ReportViolation("more than 20 records");
    if (!records.empty() && boxType.strTypeKernel.find('\\') != std::string::npos) {
        ReportViolation("a kernel text with a separator matched", boxType.strTypeKernel);
    }
    for (const UpdateRecord& r : records) {
        for (const std::string* pText :
             {&r.strImageName, &r.strBoxName, &r.strVersionKey, &r.strVersion, &r.strMd5}) {
            if (pText->size() > kMaxUpdateText) ReportViolation("text not cut", *pText);
        }
        if (r.nUpdateFlag != 0) ReportViolation("record collected with its flag set");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = SplitFields(AsText(data, size), kFuzzUnitSep, 3);
    const CBoxTypeRecord boxType{0, std::string(fields[0]), std::string(fields[1])};
    XmlDocument list;
    list.SetText(std::string(fields[2]));
    std::vector<UpdateRecord> records, again;
    const bool bResult = LoadUpdateList(list, boxType, &records);
    CheckRecords(records, bResult, boxType);
    if (LoadUpdateList(list, boxType, &again) != bResult || Describe(again) != Describe(records)) {
        ReportViolation("second read differs", Describe(records), Describe(again));
    }
    const CUpdateSelection selection = SelectUpdates(
        "OSVER:V1.0.2-P:FS\r\nfsFLASHVER:V1.0.0-P:FS\r\n", boxType.strTypeKernel, "NEW", &records);
    const size_t nFlagged = static_cast<size_t>(std::count_if(
        records.begin(), records.end(), [](const UpdateRecord& r) { return r.nUpdateFlag == 1; }));
    const size_t nSummaryLines = static_cast<size_t>(
        std::count(selection.strSummary.begin(), selection.strSummary.end(), '\n'));
    // A version text may hold line ends of its own; each summary line ends with one more.
    if (nSummaryLines < nFlagged) ReportViolation("summary misses a flagged record");
    return 0;
}
