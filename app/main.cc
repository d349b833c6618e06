// ZELVO manager. This build runs the engine with the terminal frontend:
//   zelvo [--program-dir DIR] [--yes] [--start-delay-ms N] [--pass-ms N] [--wait-ms N]
// Page commands are read from standard input, one per line; what the program reports to the
// page is printed. --wait-ms keeps the worker running that long after the input ends.
//   zelvo box ...   runs one box operation from the command line (see app/box_cli.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/box_cli.h"
#include "app/main_frame.h"
#include "support/settings.h"
#include "app/terminal_frontend.h"
#include "bridge/box_services.h"
#include "platform/program_dir.h"
#include "platform/thread_util.h"

namespace {

struct COptions {
    std::string strProgramDir;
    bool bAssumeYes = false;
    CWorkerTiming timing;
    unsigned nWaitMs = 0;
};

bool ReadUnsigned(const char* text, unsigned* value) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || n > 600000) return false;
    *value = static_cast<unsigned>(n);
    return true;
}

bool ParseOptions(int argc, char** argv, COptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool bOk = true;
        if (arg == "--yes") {
            options->bAssumeYes = true;
            continue;
        } else if (value == nullptr) {
            bOk = false;
        } else if (arg == "--program-dir") {
            options->strProgramDir = value;
        } else if (arg == "--start-delay-ms") {
            bOk = ReadUnsigned(value, &options->timing.nStartDelayMs);
        } else if (arg == "--pass-ms") {
            bOk = ReadUnsigned(value, &options->timing.nPassMs);
        } else if (arg == "--wait-ms") {
            bOk = ReadUnsigned(value, &options->nWaitMs);
        } else {
            bOk = false;
        }
        if (!bOk) {
            std::fprintf(stderr, "zelvo: bad option %s\n", arg.c_str());
            return false;
        }
        ++i;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "box") == 0) {
        return RunBoxCli(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    }
    COptions options;
    if (!ParseOptions(argc, argv, &options)) return 2;
    if (!options.strProgramDir.empty()) platform::SetProgramDirectory(options.strProgramDir);
    LoadSettings();

    CTerminalFrontend terminal(std::cin, std::cout, options.bAssumeYes);
    CBoxServices boxServices;
    CMainFrame frame(boxServices.Services(), options.timing);
    frame.AttachPage(&terminal);
    frame.AttachDialogs(&terminal);
    frame.StartWorker();
    const int nExit = terminal.Run(frame);
    platform::SleepMs(options.nWaitMs);
    frame.StopWorker();
    frame.AttachPage(nullptr);
    return nExit;
}
