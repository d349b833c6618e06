#include "box/update_list.h"

#include <algorithm>
#include <climits>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/xml_document.h"
#include "support/xml_markup.h"

namespace {

constexpr char kKernelSeparator = '\\';
constexpr std::string_view kProductTag = "-P:";
constexpr std::string_view kLegacyVersionKey = "version";
constexpr std::string_view kFlashVersionKey = "fsFLASHVER:";
// A box that reports this flash version always gets the flash image.
constexpr std::string_view kOldestFlashLine = "fsFLASHVER:V1.0.0-P:FS";

// An attribute of the current child as 8-bit text of at most kMaxUpdateText bytes.
std::string RecordText(const XmlDocument& list, const std::string& name) {
    const std::string text = platform::Utf8ToAnsi(list.GetChildAttribute(name));
    return std::string(platform::CutAnsiText(text, kMaxUpdateText));
}

UpdateRecord ReadRecord(const XmlDocument& list) {
    UpdateRecord record;
    record.strImageName = RecordText(list, "ImgName");
    record.strBoxName = RecordText(list, "DownName");
    record.strVersionKey = RecordText(list, "VerName");
    record.strVersion = RecordText(list, "Ver");
    record.strMd5 = RecordText(list, "Md5");
    return record;
}

// How many of the '\'-separated parts of the element's kernel list equal the box's kernel.
size_t CountKernelMatches(std::string_view kernels, std::string_view kernel) {
    size_t nMatches = 0;
    size_t nStart = 0;
    while (true) {
        const size_t nEnd = kernels.find(kKernelSeparator, nStart);
        if (kernels.substr(nStart, nEnd - nStart) == kernel) ++nMatches;
        if (nEnd == std::string_view::npos) return nMatches;
        nStart = nEnd + 1;
    }
}

// Positions the list on the ZELVOType entry of the serial number, entered.
bool EnterBoxType(XmlDocument& list, const std::string& strSerialNo) {
    list.Rewind();
    if (!list.FindSibling("UpdateInfo")) return false;
    while (list.FindChild("ZELVOType")) {
        if (list.GetChildAttribute("SerialNo") == strSerialNo) return list.EnterElement();
    }
    return false;
}

// The product tag after "-P:" up to the first blank; empty when there is none.
std::string_view ProductTag(std::string_view version) {
    const size_t nTag = version.find(kProductTag);
    if (nTag == std::string_view::npos) return {};
    const std::string_view tag = version.substr(nTag + kProductTag.size());
    return tag.substr(0, tag.find(' '));
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the record is to be updated, with the line that stands for the box's version.
bool NeedsUpdate(const UpdateRecord& record, std::string_view report, std::string_view kernels,
                 std::string* pLine, bool* pbLegacy) {
    *pLine = FindVersionLine(report, record.strVersionKey);
    if (!pLine->empty()) {
        if (*pLine == kOldestFlashLine) return true;
        const size_t nKey = std::min(record.strVersionKey.size(), pLine->size());
        return IsNewerVersion(record.strVersion, std::string_view(*pLine).substr(nKey));
    }
    if (record.strVersionKey == kLegacyVersionKey) {
        *pLine = "version " + FirstKernelName(kernels) + "-V1.0.0.00000000";
        *pbLegacy = true;
        return true;
    }
    if (record.strVersionKey == kFlashVersionKey) {
        *pLine = "fsFLASHVER:V1.0.0";
        return true;
    }
    return false;
}

}  // namespace

bool LoadUpdateList(XmlDocument& list, const CBoxTypeRecord& boxType,
                    std::vector<UpdateRecord>* pRecords) {
    pRecords->clear();
    if (!EnterBoxType(list, boxType.strTypeSerialNo)) return false;
    while (pRecords->size() < kMaxUpdateRecords && list.FindChild("element")) {
        const size_t nMatches =
            CountKernelMatches(list.GetChildAttribute("Kernel"), boxType.strTypeKernel);
        for (size_t i = 0; i < nMatches && pRecords->size() < kMaxUpdateRecords; ++i) {
            pRecords->push_back(ReadRecord(list));
        }
    }
    return !pRecords->empty();
}

bool LoadUpdateList(const CBoxTypeRecord& boxType, std::vector<UpdateRecord>* pRecords) {
    XmlDocument list;
    // A list that is not well formed is still read as far as it goes; a missing one is empty.
    list.LoadFile(platform::JoinPath(platform::GetProgramDirectory(), kUpdateListFile));
    return LoadUpdateList(list, boxType, pRecords);
}

size_t ParseVersionNumbers(std::string_view text, std::array<int, kMaxVersionNumbers>* pNumbers) {
    pNumbers->fill(0);
    size_t nPos = 0;
    while (nPos < text.size() && !IsDigit(text[nPos])) ++nPos;
    size_t nCount = 0;
    while (nCount < kMaxVersionNumbers && nPos < text.size() && IsDigit(text[nPos])) {
        int nValue = 0;
        for (; nPos < text.size() && IsDigit(text[nPos]); ++nPos) {
            const int nDigit = text[nPos] - '0';
            nValue = nValue > (INT_MAX - nDigit) / 10 ? INT_MAX : nValue * 10 + nDigit;
        }
        (*pNumbers)[nCount++] = nValue;
        if (nPos >= text.size() || text[nPos] != '.') break;
        ++nPos;
    }
    return nCount;
}

bool IsNewerVersion(std::string_view listVersion, std::string_view boxVersion) {
    if (listVersion.find(kProductTag) != std::string_view::npos) {
        const std::string_view listTag = ProductTag(listVersion);
        const std::string_view boxTag = ProductTag(boxVersion);
        if (!listTag.empty() && !boxTag.empty() && listTag != boxTag) return false;
    }
    std::array<int, kMaxVersionNumbers> listNumbers, boxNumbers;
    ParseVersionNumbers(listVersion, &listNumbers);
    ParseVersionNumbers(boxVersion, &boxNumbers);
    if (listNumbers[0] != boxNumbers[0]) return false;
    for (size_t i = 1; i < kMaxVersionNumbers; ++i) {
        if (listNumbers[i] != boxNumbers[i]) return listNumbers[i] > boxNumbers[i];
    }
    return false;
}

std::string FindVersionLine(std::string_view report, std::string_view key) {
    const auto sameLetter = [](char a, char b) { return xml::LowerAscii(a) == xml::LowerAscii(b); };
    const auto match = std::search(report.begin(), report.end(), key.begin(), key.end(), sameLetter);
    if (match == report.end() && !key.empty()) return "";
    const std::string_view rest = report.substr(static_cast<size_t>(match - report.begin()));
    const std::string_view line = rest.substr(0, rest.find_first_of("\r\n"));
    return std::string(platform::CutAnsiText(line, kMaxVersionLine));
}

std::string FirstKernelName(std::string_view kernels) {
    return std::string(kernels.substr(0, kernels.find(kKernelSeparator)));
}

CUpdateSelection SelectUpdates(std::string_view report, std::string_view kernels,
                               std::string_view newText, std::vector<UpdateRecord>* pRecords) {
    CUpdateSelection selection;
    for (UpdateRecord& record : *pRecords) {
        std::string strLine;
        if (!NeedsUpdate(record, report, kernels, &strLine, &selection.bLegacy)) continue;
        record.nUpdateFlag = 1;
        selection.strSummary += platform::AnsiToUtf8(strLine) + " " + std::string(newText) + " " +
                                platform::AnsiToUtf8(record.strVersion) + "\n";
    }
    return selection;
}
