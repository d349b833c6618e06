#include "app/box_cli.h"

#include <cjson/cJSON.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

#include "app/startup.h"
#include "box/box_control.h"
#include "box/box_session.h"
#include "box/config_transfer.h"
#include "box/firmware_update.h"
#include "box/lan_discovery.h"
#include "box/network_test.h"
#include "box/time_sync.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/program_dir.h"
#include "support/localized_strings.h"
#include "support/settings.h"

namespace {

struct COptions {
    std::string strAddress;
    bool bUsb = false;
    bool bJson = false;
    bool bYes = false;
    bool bProbe = false;
    std::string strProgramDir;
    std::string strCert;             // a certificate package to install first
    std::string strPassword;         // read-project
    std::vector<std::string> words;  // the operation and its arguments
};

// Collects what the page would have shown: localized lines in the current language and raw
// lines as they are. Questions are answered No unless --yes was given.
class CCollectingReport : public IOperationReport {
public:
    CCollectingReport(bool bYes, std::ostream* pProgress) : m_bYes(bYes), m_pProgress(pProgress) {}
    void RunPageScript(const std::string& text, int nMode) override {
        if (nMode == kScriptLocalizedLine) lines.push_back(GetLocalizedString(text));
        if (nMode == kScriptRawLine) lines.push_back(text);
    }
    bool AskYesNo(const std::string&) override { return m_bYes; }
    bool ShowMessage(const std::string& text, bool bYesNo) override {
        lines.push_back(text);
        return !bYesNo || m_bYes;
    }
    bool SetClipboardText(const std::string&) override { return false; }
    // Progress is drawn on one terminal line, rewritten in place; it ends with the transfer.
    void ShowProgress(uint64_t nDone, uint64_t nTotal) override {
        if (m_pProgress == nullptr) return;
        const uint64_t nPercent = nTotal == 0 ? 100 : nDone * 100 / nTotal;
        *m_pProgress << "\r" << nDone << " / " << nTotal << " bytes (" << nPercent << "%)"
                     << (nDone >= nTotal ? "\n" : "") << std::flush;
    }
    std::vector<std::string> lines;

private:
    bool m_bYes;
    std::ostream* m_pProgress;
};

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

struct CCliRun {
    CBoxSession session;
    CCollectingReport report;
    JsonPtr result{cJSON_CreateObject(), &cJSON_Delete};
    bool bOk = false;

    CCliRun(const COptions& options, const CBoxCliTiming& timing, std::ostream* pProgress)
        : session(timing.box, timing.tcp), report(options.bYes, pProgress) {
        cJSON_AddBoolToObject(result.get(), "ok", false);  // first, so that it reads first
    }
};

bool TakeValue(const std::vector<std::string>& args, size_t* pIndex, std::string* pValue) {
    if (*pIndex + 1 >= args.size()) return false;
    *pValue = args[++*pIndex];
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, COptions* pOptions, std::string* pError) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool bOk = true;
        if (arg == "--usb") pOptions->bUsb = true;
        else if (arg == "--json") pOptions->bJson = true;
        else if (arg == "--yes") pOptions->bYes = true;
        else if (arg == "--probe") pOptions->bProbe = true;
        else if (arg == "--address") bOk = TakeValue(args, &i, &pOptions->strAddress);
        else if (arg == "--program-dir") bOk = TakeValue(args, &i, &pOptions->strProgramDir);
        else if (arg == "--password") bOk = TakeValue(args, &i, &pOptions->strPassword);
        else if (arg == "--cert") bOk = TakeValue(args, &i, &pOptions->strCert);
        else if (arg.rfind("--", 0) == 0) bOk = false;
        else pOptions->words.push_back(arg);
        if (!bOk) {
            *pError = "bad option " + arg;
            return false;
        }
    }
    if (pOptions->words.empty()) *pError = "no operation given";
    return pError->empty();
}

// A mode argument: a whole decimal number.
bool ParseMode(const std::string& text, int* pMode) {
    char* pEnd = nullptr;
    const long n = std::strtol(text.c_str(), &pEnd, 10);
    if (text.empty() || *pEnd != '\0' || n < -1000000 || n > 1000000) return false;
    *pMode = static_cast<int>(n);
    return true;
}

void AddIdentity(CCliRun& run, const CBoxIdentity& identity) {
    cJSON* pBox = cJSON_AddObjectToObject(run.result.get(), "box");
    cJSON_AddStringToObject(pBox, "type", identity.strHmiType.c_str());
    cJSON_AddStringToObject(pBox, "serial", identity.strBoxSN.c_str());
    cJSON_AddNumberToObject(pBox, "mode", identity.nBoxMode);
}

// Opens the link and identifies the box, as a worker pass does before an operation. False
// when no operation may run.
bool ConnectAndIdentify(CCliRun& run, const COptions& options, CBoxIdentity* pIdentity) {
    const int nOpened = options.bUsb ? run.session.OpenUsbLink()
                                     : run.session.OpenTcpLink(options.strAddress);
    if (nOpened == 0) {
        run.report.RunPageScript("detect_zelvo_failed", kScriptLocalizedLine);
        return false;
    }
    run.session.LoadBoxTypes();
    *pIdentity = run.session.Identify(-1);
    if (!pIdentity->bIdentified) {
        run.report.RunPageScript("detect_zelvo_failed", kScriptLocalizedLine);
        return pIdentity->bExchangeResult;
    }
    AddIdentity(run, *pIdentity);
    run.report.RunPageScript(pIdentity->strBoxSN, kScriptRawLine);
    run.session.LookupBoxRecord(pIdentity->strHmiType);
    return true;
}

using Operation = std::function<bool(CCliRun&, const CBoxIdentity&, const COptions&)>;

bool RunVersions(CCliRun& run, const CBoxIdentity&, const COptions&) {
    CReplyBuffer reply(kLargeReplySize);
    const bool bOk = run.session.Channel().QueryAllVersions(&reply);
    cJSON_AddStringToObject(run.result.get(), "versions",
                            platform::AnsiToUtf8(reply.Text()).c_str());
    return bOk;
}

bool RunMode(CCliRun& run, const CBoxIdentity& identity, const COptions& options) {
    if (options.words.size() < 2) return identity.bIdentified;
    int nMode = 0;
    ParseMode(options.words[1], &nMode);  // checked before the link was opened
    const bool bOk = SetBoxMode(run.session.Channel(), run.report, nMode);
    cJSON_AddNumberToObject(run.result.get(), "mode", nMode);
    return bOk;
}

bool RunNetworkTest(CCliRun& run, const CBoxIdentity&, const COptions&) {
    const CNetworkTestResult result =
        TestBoxNetwork(run.session.Channel(), run.report, run.session.Record().nBoxFunctions);
    cJSON* pNetwork = cJSON_AddObjectToObject(run.result.get(), "network");
    cJSON_AddStringToObject(pNetwork, "form", result.strForm.c_str());
    cJSON_AddStringToObject(pNetwork, "reply", platform::AnsiToUtf8(result.strReply).c_str());
    return result.bAnswered;
}

bool RunSyncTime(CCliRun& run, const CBoxIdentity&, const COptions& options) {
    const std::string zone = options.words.size() > 1 ? options.words[1] : "";
    return SyncBoxTime(run.session.Channel(), run.report, zone);
}

void AddOutcome(CCliRun& run, const char* szOutcome) {
    cJSON_AddStringToObject(run.result.get(), "outcome", szOutcome);
}

// read-config FILE, read-project FILE [--password P]: the box's file into FILE.
Operation ReadFileOperation(const char* szBoxFile) {
    return [szBoxFile](CCliRun& run, const CBoxIdentity&, const COptions& options) {
        const UploadOutcome eOutcome = UploadConfigFromBox(
            run.session.Channel(), run.report, szBoxFile,
            platform::Utf8ToAnsi(options.strPassword), options.words[1]);
        AddOutcome(run, UploadOutcomeName(eOutcome));
        return eOutcome == UploadOutcome::kSuccess;
    };
}

// write-config FILE, write-project FILE: FILE to the box, which is stopped and restarted.
Operation WriteFileOperation(const char* szBoxFile) {
    return [szBoxFile](CCliRun& run, const CBoxIdentity&, const COptions& options) {
        const ConfigWriteOutcome eOutcome =
            DownloadConfigToBox(run.session.Channel(), run.report, szBoxFile, options.words[1]);
        AddOutcome(run, ConfigWriteOutcomeName(eOutcome));
        return eOutcome == ConfigWriteOutcome::kSent;
    };
}

bool RunFirmwareUpdate(CCliRun& run, const CBoxIdentity&, const COptions&) {
    const FirmwareOutcome eOutcome =
        UpdateBoxFirmware(run.session.Channel(), run.report, run.session.Record());
    AddOutcome(run, FirmwareOutcomeName(eOutcome));
    return eOutcome == FirmwareOutcome::kUpdated || eOutcome == FirmwareOutcome::kUpToDate;
}

// Operations that take a local file name as their one argument.
bool TakesFile(const std::string& op) {
    return op == "read-config" || op == "write-config" || op == "read-project" ||
           op == "write-project";
}

const std::map<std::string, Operation>& Operations() {
    static const std::map<std::string, Operation> operations = {
        {"identify", [](CCliRun&, const CBoxIdentity& id, const COptions&) {
             return id.bIdentified;
         }},
        {"versions", RunVersions},
        {"mode", RunMode},
        {"light", [](CCliRun& run, const CBoxIdentity&, const COptions&) {
             return FlashBoxLight(run.session.Channel(), run.report);
         }},
        {"network-test", RunNetworkTest},
        {"sync-time", RunSyncTime},
        {"stop", [](CCliRun& run, const CBoxIdentity&, const COptions&) {
             CReplyBuffer reply;
             return StopBox(run.session.Channel(), run.report, &reply);
         }},
        {"restart", [](CCliRun& run, const CBoxIdentity&, const COptions&) {
             return RestartBox(run.session.Channel(), run.report, nullptr, true);
         }},
        {"read-config", ReadFileOperation(kBoxSetupFile)},
        {"read-project", ReadFileOperation(kBoxProjectFile)},
        {"write-config", WriteFileOperation(kBoxSetupFile)},
        {"write-project", WriteFileOperation(kBoxProjectFile)},
        {"update-firmware", RunFirmwareUpdate},
    };
    return operations;
}

bool RunDiscover(CCliRun& run, const COptions& options) {
    const std::string found = DiscoverBoxes(options.bProbe ? 1 : 0, options.strAddress);
    cJSON* pBoxes = cJSON_AddArrayToObject(run.result.get(), "boxes");
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = found.find(';', nStart)) != std::string::npos; nStart = nEnd + 1) {
        cJSON_AddItemToArray(pBoxes, cJSON_CreateString(found.substr(nStart, nEnd - nStart).c_str()));
    }
    return true;
}

// Usage problems found before any traffic: unknown operations, a missing link, bad arguments.
std::string CheckUsage(const COptions& options) {
    const std::string& op = options.words[0];
    if (op == "discover") return options.words.size() == 1 ? "" : "discover takes no argument";
    if (Operations().count(op) == 0) return "unknown operation " + op;
    if (options.bUsb == !options.strAddress.empty()) return "give either --address A or --usb";
    int nMode = 0;
    if (op == "mode" && options.words.size() > 1 && !ParseMode(options.words[1], &nMode)) {
        return "mode takes a number";
    }
    if (TakesFile(op) && options.words.size() != 2) return op + " takes one file name";
    if (!options.strPassword.empty() && op != "read-project") {
        return "--password belongs to read-project";
    }
    const size_t nMaxWords = (op == "mode" || op == "sync-time" || TakesFile(op)) ? 2 : 1;
    return options.words.size() > nMaxWords ? "too many arguments for " + op : "";
}

void PrintResult(CCliRun& run, bool bJson, std::ostream& out) {
    cJSON* pLines = cJSON_CreateArray();
    for (const std::string& line : run.report.lines) {
        cJSON_AddItemToArray(pLines, cJSON_CreateString(line.c_str()));
    }
    cJSON_AddItemToObject(run.result.get(), "lines", pLines);
    cJSON_ReplaceItemInObjectCaseSensitive(run.result.get(), "ok", cJSON_CreateBool(run.bOk));
    if (bJson) {
        char* pText = cJSON_PrintUnformatted(run.result.get());
        out << pText << "\n";
        cJSON_free(pText);
        return;
    }
    for (const std::string& line : run.report.lines) out << line << "\n";
    for (cJSON* p = run.result->child; p != nullptr; p = p->next) {
        if (cJSON_IsString(p)) out << p->string << ": " << p->valuestring << "\n";
        if (cJSON_IsArray(p) && std::string(p->string) == "boxes") {
            for (cJSON* q = p->child; q != nullptr; q = q->next) out << q->valuestring << "\n";
        }
    }
}

}  // namespace

int RunBoxCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const CBoxCliTiming& timing) {
    COptions options;
    std::string error;
    if (ParseOptions(args, &options, &error)) error = CheckUsage(options);
    if (!error.empty()) {
        err << "zelvo box: " << error << "\n";
        return 2;
    }
    if (!options.strProgramDir.empty()) platform::SetProgramDirectory(options.strProgramDir);
    LoadSettings();
    if (!ImportBrandingWithoutDialog(options.strCert, err)) return 1;
    CCliRun run(options, timing, platform::IsStandardErrorTerminal() ? &err : nullptr);
    if (options.words[0] == "discover") {
        run.bOk = RunDiscover(run, options);
    } else {
        CBoxIdentity identity;
        if (ConnectAndIdentify(run, options, &identity)) {
            run.bOk = Operations().at(options.words[0])(run, identity, options);
        }
    }
    PrintResult(run, options.bJson, out);
    return run.bOk ? 0 : 1;
}
