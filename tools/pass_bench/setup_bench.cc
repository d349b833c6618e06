// setup_bench: how long the virtual port set-up takes, from its start to the port being
// present, with the program's real waits and the real tunnel service, and how many attempts it
// needed. Cold: the service is not installed yet (the set-up installs and starts it). Warm: the
// service runs already. Everything stays in temporary folders; the port's network side points
// at 127.0.0.1.
//
//   setup_bench [--runs 3]
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/settings.h"
#include "tunnel/com_ports.h"
#include "tunnel/service_control.h"
#include "tunnel/virtual_port.h"

namespace {

class CQuietReport final : public ITunnelReport {
public:
    void ShowStatusText(const std::string&) override {}
    void ShowErrorText(const std::string& text) override { std::printf("  error: %s\n", text.c_str()); }
};

// One set-up; prints its time and attempts. False when the port did not appear.
bool MeasureSetup(const char* szLabel) {
    CQuietReport report;
    const auto start = std::chrono::steady_clock::now();
    const int nAttempt = RunVirtualPortSetup(report);
    const double dMs = std::chrono::duration<double, std::milli>(
                           std::chrono::steady_clock::now() - start).count();
    std::printf("%-5s set-up %7.1f ms, port present after attempt %d\n", szLabel, dMs, nAttempt);
    return nAttempt > 0 && IsPortPresent(g_appSettings.strVirCom) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    int nRuns = 3;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) nRuns = std::atoi(argv[2]);
    const std::string strDir = platform::MakeTempDirectory("zelvo-setup-bench");
    setenv("TNL_RUN_DIR", (strDir + "/run").c_str(), 1);
    setenv("ZELVO_PORTS_DIR", (strDir + "/ports").c_str(), 1);
    platform::SetProgramDirectory(strDir);
    if (symlink(TNL_SERVICE_PATH, (strDir + "/tnl_service").c_str()) != 0) return 1;
    g_appSettings.strVirCom = "COM9";
    g_appSettings.strTunnelHost = "127.0.0.1";
    bool bOk = true;
    for (int nRun = 0; nRun < nRuns && bOk; ++nRun) {
        bOk = MeasureSetup("cold") && MeasureSetup("warm");
        RemoveService();
    }
    platform::RemoveDirectoryTree(strDir);
    return bOk ? 0 : 1;
}
