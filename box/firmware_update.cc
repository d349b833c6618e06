#include "box/firmware_update.h"

#include <string>
#include <vector>

#include "box/box_control.h"
#include "box/firmware_image.h"
#include "box/update_list.h"
#include "platform/codepage.h"
#include "support/localized_strings.h"

namespace {

constexpr const char* kSystemVersionKey = "OSVER:";
constexpr const char* kSystemBoxName = "update";  // the box-side name of every system image

// Sends the records marked for update, in list order; stops at the first that fails.
bool UpdateMarkedImages(CBoxChannel& channel, IOperationReport& report,
                        const std::vector<UpdateRecord>& records, bool bLegacy) {
    for (const UpdateRecord& record : records) {
        if (record.nUpdateFlag == 0) continue;
        report.ShowMessage(GetLocalizedString("update_note"), false);
        report.RunPageScript(
            GetLocalizedString("download_file") + platform::AnsiToUtf8(record.strBoxName),
            kScriptRawLine);
        std::string strImagePath;
        if (!BuildUpdatePath(record.strImageName, &strImagePath)) {
            report.RunPageScript("open_src_file_failed", kScriptLocalizedLine);
            return false;
        }
        const std::string strBoxName =
            record.strVersionKey == kSystemVersionKey ? kSystemBoxName : record.strBoxName;
        if (!UpdateFirmwareImage(channel, report, strImagePath, strBoxName, record.strMd5,
                                 bLegacy)) {
            return false;
        }
    }
    return true;
}

}  // namespace

FirmwareOutcome CheckAndUpdateFirmware(CBoxChannel& channel, IOperationReport& report,
                                       const CBoxTypeRecord& record) {
    report.RunPageScript("detect_fireware", kScriptLocalizedLine);
    CReplyBuffer versions(kLargeReplySize);
    if (!channel.QueryAllVersions(&versions)) {
        report.RunPageScript("detect_fireware_failed", kScriptLocalizedLine);
        return FirmwareOutcome::kNoVersionReport;
    }
    std::vector<UpdateRecord> records;
    if (!LoadUpdateList(record, &records)) {
        report.RunPageScript("detect_soft_fireware_failed", kScriptLocalizedLine);
        return FirmwareOutcome::kNoUpdateList;
    }
    const CUpdateSelection selection = SelectUpdates(
        versions.Text(), record.strTypeKernel, GetLocalizedString("detect_new_firmware"), &records);
    if (selection.strSummary.empty()) {
        report.RunPageScript("is_up_to_date", kScriptLocalizedLine);
        return FirmwareOutcome::kUpToDate;
    }
    const std::string strQuestion =
        selection.strSummary + "\n" + GetLocalizedString("is_update_firmware");
    if (!report.ShowMessage(strQuestion, true)) return FirmwareOutcome::kDeclined;
    return UpdateMarkedImages(channel, report, records, selection.bLegacy)
               ? FirmwareOutcome::kUpdated
               : FirmwareOutcome::kImageFailed;
}

FirmwareOutcome UpdateBoxFirmware(CBoxChannel& channel, IOperationReport& report,
                                  const CBoxTypeRecord& record) {
    CReplyBuffer reply(kLargeReplySize);
    if (!StopBox(channel, report, &reply)) return FirmwareOutcome::kBoxNotStopped;
    const FirmwareOutcome eOutcome = CheckAndUpdateFirmware(channel, report, record);
    RestartAfterWrite(channel, report, true);
    return eOutcome;
}

const char* FirmwareOutcomeName(FirmwareOutcome eOutcome) {
    switch (eOutcome) {
        case FirmwareOutcome::kBoxNotStopped:
            return "box-not-stopped";
        case FirmwareOutcome::kNoVersionReport:
            return "no-version-report";
        case FirmwareOutcome::kNoUpdateList:
            return "no-update-list";
        case FirmwareOutcome::kUpToDate:
            return "up-to-date";
        case FirmwareOutcome::kDeclined:
            return "declined";
        case FirmwareOutcome::kUpdated:
            return "updated";
        case FirmwareOutcome::kImageFailed:
            return "image-failed";
    }
    return "unknown";
}
