// ZELVO manager.
//   zelvo [--dir DIR] [--port N] [--no-browser] [--cert FILE]
//       The web frontend: the pages are served on 127.0.0.1 (port N, default any free one), the
//       address is printed as "ZELVO UI: <url>" and opened in the chosen browser. --cert
//       installs FILE as the edition's certificate package first.
//   zelvo --terminal [--dir DIR] [--cert FILE] [--yes] [--wait-ms N]
//       The terminal frontend: page commands and caption buttons are read from standard input,
//       one per line; what the program reports to the page is printed. --wait-ms keeps the
//       worker running that long after the input ends. --cert installs FILE as the edition's
//       certificate package; without a readable package the terminal frontend does not start.
//   Both take --start-delay-ms N and --pass-ms N (the command worker's timing); --program-dir
//   is another name for --dir.
//   zelvo box ...   runs one box operation from the command line (see app/box_cli.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/box_cli.h"
#include "app/main_frame.h"
#include "app/startup.h"
#include "app/subsystem_hooks.h"
#include "app/terminal_frontend.h"
#include "bridge/box_services.h"
#include "bridge/browser_switches.h"
#include "bridge/web_host.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/program_dir.h"
#include "platform/signals.h"
#include "platform/single_instance.h"
#include "platform/thread_util.h"
#include "support/browser_launch.h"
#include "support/settings.h"

namespace {

struct COptions {
    std::string strProgramDir;
    std::string strCert;
    bool bTerminal = false;
    bool bAssumeYes = false;
    bool bOpenBrowser = true;
    unsigned nPort = 0;
    CWorkerTiming timing;
    unsigned nWaitMs = 0;
};

bool ReadUnsigned(const char* text, unsigned nMax, unsigned* value) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || n > nMax) return false;
    *value = static_cast<unsigned>(n);
    return true;
}

// A switch without a value; false when arg is none.
bool ReadFlag(const std::string& arg, COptions* options) {
    if (arg == "--terminal") {
        options->bTerminal = true;
    } else if (arg == "--yes") {
        options->bAssumeYes = true;
    } else if (arg == "--no-browser") {
        options->bOpenBrowser = false;
    } else {
        return false;
    }
    return true;
}

// An option with a value; false when arg is none or the value is bad.
bool ReadValue(const std::string& arg, const char* value, COptions* options) {
    if (arg == "--dir" || arg == "--program-dir") {
        options->strProgramDir = value;
        return true;
    }
    if (arg == "--cert") {
        options->strCert = value;
        return true;
    }
    if (arg == "--port") return ReadUnsigned(value, 65535, &options->nPort);
    if (arg == "--start-delay-ms") {
        return ReadUnsigned(value, 600000, &options->timing.nStartDelayMs);
    }
    if (arg == "--pass-ms") return ReadUnsigned(value, 600000, &options->timing.nPassMs);
    if (arg == "--wait-ms") return ReadUnsigned(value, 600000, &options->nWaitMs);
    return false;
}

bool ParseOptions(int argc, char** argv, COptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (ReadFlag(arg, options)) continue;
        if (i + 1 == argc || !ReadValue(arg, argv[i + 1], options)) {
            std::fprintf(stderr, "zelvo: bad option %s\n", arg.c_str());
            return false;
        }
        ++i;
    }
    return true;
}

// The web host as the application's frontend.
class CWebFrontend final : public IAppFrontend {
public:
    explicit CWebFrontend(CUiLoop& loop) : m_host(loop) {}
    bool Start(const std::string& strProgramDir, int nPort) override {
        return m_host.Start({strProgramDir, nPort});
    }
    void Stop() override { m_host.Stop(); }
    std::string GetUrl() const override { return m_host.GetUrl(); }
    IPageSink& Page() override { return m_host; }
    IUserDialogs& Dialogs() override { return m_host; }
    IMainView& View() override { return m_host; }
    void AttachWindow(CMainFrame* pFrame) override { m_host.AttachWindow(pFrame, pFrame); }

private:
    CWebHost m_host;
};

// The workstation's browsers; the user interface opens in the chosen one, else through the
// desktop's handler for addresses.
class CSystemBrowsers final : public IDesktopBrowsers {
public:
    void DetectBrowsers() override {
        CollectInstalledBrowsers();
        ChooseDefaultBrowser();
    }
    void OpenUi(const std::string& strUrl) override {
        if (!g_strBrowserPath.empty() && platform::SpawnDetached(UiBrowserLaunch(strUrl))) return;
        if (platform::SpawnDetached({"xdg-open", {strUrl}, {}, ""})) return;
        std::fprintf(stderr, "zelvo: no browser could be started; open the address above\n");
    }

private:
    // The browser keeps its profile for our pages apart from the user's own.
    static platform::CSpawnRequest UiBrowserLaunch(const std::string& strUrl) {
        return BuildUiBrowserLaunch(g_appSettings.strBrowser, g_strBrowserPath, strUrl,
                                    platform::GetProgramDirectory(),
                                    platform::JoinPath(platform::GetRuntimeDirectory(), "CEF"));
    }
};

// The box operations plus the pass-through and the panel editor.
CBridgeServices WithSubsystems(CBridgeServices services, CSubsystemServices& subsystems) {
    services.pPassThrough = &subsystems;
    services.pEditor = &subsystems;
    return services;
}

// What the program started again after a branding import is given: the same place, port and
// browser choice.
std::vector<std::string> RestartArguments(const COptions& options) {
    std::vector<std::string> args = {"--dir", platform::GetProgramDirectory()};
    if (options.nPort != 0) args.insert(args.end(), {"--port", std::to_string(options.nPort)});
    if (!options.bOpenBrowser) args.push_back("--no-browser");
    return args;
}

int RunWebFrontend(const COptions& options) {
    CUiLoop loop;
    CWebFrontend web(loop);
    CSystemBrowsers browsers;
    if (!InstallGivenPackage(options.strCert, std::cerr)) return 1;
    CSubsystemHooks hooks(RestartArguments(options));
    CSubsystemServices subsystems(hooks.Report());
    CBoxServices boxServices;
    CAppOptions appOptions;
    appOptions.nPort = static_cast<int>(options.nPort);
    appOptions.bOpenBrowser = options.bOpenBrowser;
    appOptions.services = WithSubsystems(boxServices.Services(), subsystems);
    appOptions.timing = options.timing;
    CZELVOApp app(appOptions, CAppParts{&hooks, web, browsers, loop, std::cout});
    // Before any thread starts, so that only the waiting thread takes the signals.
    platform::HandleTerminationRequests([&app] { app.RequestClose(); });
    return app.Run();
}

int RunTerminalFrontend(const COptions& options) {
    CSubsystemHooks hooks;
    LoadStartupSettings(hooks);
    if (!ImportBrandingWithoutDialog(options.strCert, std::cerr)) return 1;
    CTerminalFrontend terminal(std::cin, std::cout, options.bAssumeYes);
    CSubsystemServices subsystems(hooks.Report());
    CBoxServices boxServices;
    CMainFrame frame(WithSubsystems(boxServices.Services(), subsystems), options.timing, &hooks);
    frame.AttachPage(&terminal);
    frame.AttachDialogs(&terminal);
    frame.AttachView(&terminal);
    frame.StartWorker();
    hooks.StartVirtualPortSetup(frame);
    const int nExit = terminal.Run(frame);
    platform::SleepMs(options.nWaitMs);
    hooks.RemoveVirtualPort();
    frame.StopWorker();
    frame.AttachPage(nullptr);
    return nExit;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "box") == 0) {
        return RunBoxCli(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
    }
    COptions options;
    if (!ParseOptions(argc, argv, &options)) return 2;
    if (!options.strProgramDir.empty()) platform::SetProgramDirectory(options.strProgramDir);
    return options.bTerminal ? RunTerminalFrontend(options) : RunWebFrontend(options);
}
