// Page commands as the page sends them, through the dispatcher, against the fake box, the
// recording page and scripted dialogs in a fresh program directory.
//
// Input: up to kMaxCommands commands separated by 0x1E; each is the command number text, its
// argument and (optionally) the path the next file dialog answers, separated by 0x1F.
// Properties that must hold after every command: the result is 0, 1 or 2, and the transfer
// path fits its buffer.
//
// Every command number is dispatched. None of them blocks or starts a thread: the dispatcher
// only sets the pending command and acts on files, settings and dialogs; the worker thread
// that would run the pending command is never started here, and the fake box answers the
// pass-through commands (7, 8) at once without any link.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_frame.h"
#include "support/settings.h"
#include "bridge/command_state.h"
#include "platform/codepage.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxCommands = 8;

// The files the commands read and change, as a fresh installation has them.
void WriteProgramFiles(const CTempProgramDir& dir) {
    dir.WriteStrings(
        "alert_title=Notice\nsave_config_failed=Saving \"setup\" failed\n"
        "path_too_long=Path too long\n");
    dir.WriteFile("html/Default.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KorixSet>\n"
                  "  <BaseSet URL2=\"http://127.0.0.1/home\" Name=\"a\"/>\n"
                  "  <Net Ip=\"1.1.1.1\"><Inner Ip=\"0\"/></Net>\n</KorixSet>\n");
    dir.WriteFile("WifiList.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WifiList>\n"
                  "\t<wifi Name=\"home\" Psw=\"secret\"/>\n</WifiList>\n");
    dir.WriteFile("SoftLang.ini", "[HMI]\r\nfirst=1\r\nlang=en\r\nrep=box\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CTempProgramDir dir;
    WriteProgramFiles(dir);
    g_bFirstRun = 1;
    CFakeBoxServices box;
    CRecordingPage page;
    CScriptedDialogs dialogs;
    CMainFrame frame(box.Services(), CWorkerTiming{0, 1, 0});
    frame.AttachPage(&page);
    frame.AttachDialogs(&dialogs);

    for (std::string_view command :
         SplitRecords(AsText(data, size), kFuzzRecordSep, kMaxCommands)) {
        const std::vector<std::string_view> fields = SplitFields(command, kFuzzUnitSep, 3);
        if (!fields[2].empty()) dialogs.AnswerNextFileDialog(std::string(fields[2]));
        const int nResult = frame.DispatchCommand(std::string(fields[0]), std::string(fields[1]));
        if (nResult < 0 || nResult > 2) {
            ReportViolation("command result out of range", "0, 1 or 2", std::to_string(nResult));
        }
        if (platform::CountCodePoints(g_szTransferPath) > kMaxPathChars) {
            ReportViolation("transfer path longer than its buffer", "", g_szTransferPath);
        }
    }
    return 0;
}
