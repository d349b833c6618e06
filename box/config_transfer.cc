#include "box/config_transfer.h"

#include "box/box_control.h"
#include "package/md5.h"

namespace {

bool SendLocalFile(CBoxChannel& channel, IOperationReport& report, const std::string& strBoxFile,
                   const std::string& strLocalPath) {
    std::string strMd5;
    Md5FileHex(strLocalPath, &strMd5);
    platform::CFileStream file;
    if (!file.Open(strLocalPath, platform::CFileStream::Mode::kReadExisting)) {
        report.RunPageScript("download_failed", kScriptLocalizedLine);
        return false;
    }
    return DownloadFileToBox(channel, report, strBoxFile, file, strMd5);
}

}  // namespace

ConfigWriteOutcome DownloadConfigToBox(CBoxChannel& channel, IOperationReport& report,
                                       const std::string& strBoxFile,
                                       const std::string& strLocalPath) {
    CReplyBuffer reply(kLargeReplySize);
    if (!StopBox(channel, report, &reply)) return ConfigWriteOutcome::kBoxNotStopped;
    if (strBoxFile == kBoxSetupFile) report.RunPageScript("download_config_file", kScriptLocalizedLine);
    if (strBoxFile == kBoxProjectFile) {
        report.RunPageScript("download_project_file", kScriptLocalizedLine);
    }
    const bool bSent = SendLocalFile(channel, report, strBoxFile, strLocalPath);
    RestartAfterWrite(channel, report, false);
    return bSent ? ConfigWriteOutcome::kSent : ConfigWriteOutcome::kFailed;
}

UploadOutcome UploadConfigFromBox(CBoxChannel& channel, IOperationReport& report,
                                  const std::string& strBoxFile, const std::string& strPassword,
                                  const std::string& strLocalPath) {
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    report.RunPageScript("upload_config_file", kScriptLocalizedLine);
    const UploadOutcome eOutcome =
        UploadFileFromBox(channel, report, strBoxFile, strPassword, strLocalPath);
    switch (eOutcome) {
        case UploadOutcome::kSuccess:
            report.RunPageScript("upload_config_success", kScriptLocalizedLine);
            report.RunPageScript("ShowUpLoadSetup()", kScriptRaw);
            break;
        case UploadOutcome::kWrongPassword:
            report.RunPageScript("upload_password_invalid", kScriptLocalizedLine);
            break;
        case UploadOutcome::kNotAllowed:
            report.RunPageScript("upload_prohibit", kScriptLocalizedLine);
            break;
        case UploadOutcome::kFailed:
            report.RunPageScript("upload_config_failed", kScriptLocalizedLine);
            break;
    }
    return eOutcome;
}

const char* UploadOutcomeName(UploadOutcome eOutcome) {
    switch (eOutcome) {
        case UploadOutcome::kSuccess: return "success";
        case UploadOutcome::kWrongPassword: return "wrong-password";
        case UploadOutcome::kNotAllowed: return "not-allowed";
        case UploadOutcome::kFailed: break;
    }
    return "failed";
}

const char* ConfigWriteOutcomeName(ConfigWriteOutcome eOutcome) {
    switch (eOutcome) {
        case ConfigWriteOutcome::kSent: return "sent";
        case ConfigWriteOutcome::kBoxNotStopped: return "box-not-stopped";
        case ConfigWriteOutcome::kFailed: break;
    }
    return "failed";
}
