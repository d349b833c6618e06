// A page command arriving in the browser process. Most commands become the single pending
// command for the worker; a few act at once on this thread.
#include "bridge/command_dispatcher.h"

#include <mutex>

#include "support/settings.h"
#include "box/setup_writer.h"
#include "bridge/command_state.h"
#include "platform/codepage.h"

namespace {

constexpr int kResultOk = 0;
constexpr int kResultCancelled = 1;
constexpr int kResultSaveFailed = 2;
constexpr size_t kWifiArgBufferSize = 256;
constexpr const char* kProjectExt = ".zcpj";

CFileDialogRequest ProjectDialog(bool bOpen) {
    CFileDialogRequest request;
    request.bOpen = bOpen;
    request.strFilter = "Cloud Project(*.zcpj)|*.zcpj||";
    request.strDefaultExt = kProjectExt;
    request.bFileMustExist = bOpen;
    request.bOverwritePrompt = !bOpen;
    request.bHideReadOnly = true;
    return request;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Asks for a cloud project path; false when cancelled or when the path does not fit the
// transfer path buffer (a longer path is refused rather than cut).
bool ChooseProjectPath(IBridgeHost& frame, bool bOpen, std::string* path) {
    IUserDialogs* pDialogs = frame.GetDialogs();
    if (pDialogs == nullptr || !pDialogs->ChooseFile(ProjectDialog(bOpen), path)) return false;
    if (!bOpen && !EndsWith(*path, kProjectExt)) *path += kProjectExt;
    if (platform::CountCodePoints(*path) <= kMaxPathChars) return true;
    ShowLocalizedMessage(*pDialogs, "path_too_long", MessageBoxStyle::kOk);
    return false;
}

// Network name and password separated by U+0002. An empty name, or an argument longer than the
// command's 256-byte buffer, is refused.
void RememberWifiFromPage(const std::string& v2) {
    const std::string arg = platform::Utf8ToAnsi(v2);
    if (arg.size() >= kWifiArgBufferSize) return;
    const size_t sep = arg.find(kFieldSeparator);
    const std::string name = arg.substr(0, sep);
    std::string password;
    if (sep != std::string::npos) {
        const size_t end = arg.find(kFieldSeparator, sep + 1);
        password = arg.substr(sep + 1, end == std::string::npos ? end : end - sep - 1);
    }
    if (name.empty()) return;
    RememberWifi(platform::AnsiToUtf8(name), platform::AnsiToUtf8(password));
}

// Command 0: save the configuration, then have the worker write it to the box.
int SaveConfigForDownload(IBridgeHost& frame, const std::string& v2) {
    const int nResult = WriteSetupFromPage(v2);
    g_szTransferPath = GetLocalSetupPath();
    if (nResult == 0) return kResultOk;
    if (frame.GetDialogs() != nullptr) {
        ShowLocalizedMessage(*frame.GetDialogs(), "save_config_failed", MessageBoxStyle::kOk);
    }
    return kResultSaveFailed;
}

// Acts on commands that do something before (or instead of) becoming pending. Returns true
// with *pResult set when the command ends here and the pending slot stays as it was.
bool ActOnCommand(IBridgeHost& frame, int nCmd, const std::string& v2, int* pResult) {
    std::string path;
    switch (nCmd) {
        case 0: *pResult = SaveConfigForDownload(frame, v2); return *pResult != kResultOk;
        case 2: g_szTransferPath = GetLocalSetupPath(); g_strUploadPassword.clear(); break;
        case 7: frame.GetServices().pPassThrough->StartPassThrough(frame, v2); return true;
        case 8: frame.GetServices().pPassThrough->StopPassThrough(frame); return true;
        case 9: WriteSetupFromPage(v2); break;
        case 10: g_nDiscoverArg = ReadCommandNumber(v2); break;
        case 11: g_strLinkType = v2; break;
        case 12: g_strBoxAddr = v2; break;
        case 14:
            if (!ChooseProjectPath(frame, true, &path)) return *pResult = kResultCancelled, true;
            g_szTransferPath = path;
            break;
        case 15:
            g_strUploadPassword = platform::Utf8ToAnsi(v2);
            if (!ChooseProjectPath(frame, false, &path)) return *pResult = kResultCancelled, true;
            g_szTransferPath = path;
            break;
        case 16: g_nBoxMode = ReadCommandNumber(v2); break;
        case 19: RememberWifiFromPage(v2); break;
        case 20: ForgetWifi(v2); break;
        case 21: ClearFirstRunFlag(); break;
        case 22: g_strTimeZone = v2; break;
        default: break;
    }
    return false;
}

bool RequestsDetection(int nCmd, const std::string& v2) {
    return nCmd == 10 || nCmd == 11 || (nCmd == 12 && !v2.empty());
}

}  // namespace

int DispatchPageCommand(IBridgeHost& host, const std::string& v1, const std::string& rawV2) {
    // Page text is UTF-8; anything else (a terminal in a legacy locale) is decoded here, so
    // that the files and state the commands write hold valid UTF-8 only.
    const std::string v2 = platform::AnsiToUtf8(rawV2);
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    const int nCmd = ReadCommandNumber(v1);
    int nResult = kResultOk;
    if (ActOnCommand(host, nCmd, v2, &nResult)) return nResult;
    g_nPendingCmd = nCmd == 0 ? 3 : nCmd;
    g_bDetectFailShown = 0;
    g_bNeedDetect = RequestsDetection(nCmd, v2) ? 1 : 0;
    return kResultOk;
}
