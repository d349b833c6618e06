// tnl_service: the stand-in for the tunnel service's control program, and the service itself.
//
//   tnl_service install        marks the service installed
//   tnl_service uninstall      disables the service and removes the installed mark
//   tnl_service enable         starts the service in the background (needs install) and waits
//                              until its socket accepts connections; nothing if it runs already
//   tnl_service disable        stops the background service; its connections are gone
//   tnl_service delete NAME    deletes every connection named NAME from the running service
//   tnl_service run [FAULT]    serves in the foreground until SIGINT or SIGTERM; FAULT is one
//                              of none, error, split, stall, close (see fake_tunnel_service.h)
//
// Everything lives in the run directory, $TNL_RUN_DIR or /run/tnl: the socket TNL_PIPE6, the
// mark "installed" and the daemon's process id in "service.pid". Exit status 0 on success,
// 1 on failure, 2 for a wrong command line.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tools/tnl_service/fake_tunnel_service.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kInstalledMark = "installed";
constexpr const char* kPidFile = "service.pid";
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr int kPollRounds = 500;  // 5 s for the daemon to come up or go away

std::string RunDir() {
    const char* szDir = getenv("TNL_RUN_DIR");
    return szDir != nullptr && *szDir != 0 ? szDir : "/run/tnl";
}

fs::path StatePath(const char* szName) {
    return fs::path(RunDir()) / szName;
}

pid_t ReadPid() {
    std::ifstream file(StatePath(kPidFile));
    long nPid = 0;
    return file >> nPid && nPid > 0 ? static_cast<pid_t>(nPid) : 0;
}

bool IsRunning(pid_t nPid) {
    return nPid > 0 && kill(nPid, 0) == 0;
}

bool ServiceAnswers() {
    std::string strReply;
    return tnl_fake::SendServiceRequest(
        RunDir(),
        "<proto version=\"6.0\" id=\"1\"><operation type=\"GETLIST\" status=\"1\"/></proto>",
        &strReply);
}

template <typename Predicate>
bool WaitFor(Predicate predicate) {
    for (int i = 0; i < kPollRounds; ++i) {
        if (predicate()) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    return predicate();
}

// Serves until SIGINT or SIGTERM arrives.
int Serve(tnl_fake::EFault eFault) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the service's threads inherit the mask
    tnl_fake::CFakeTunnelService service(RunDir());
    if (!service.Start()) {
        fprintf(stderr, "tnl_service: cannot listen in %s\n", RunDir().c_str());
        return 1;
    }
    service.SetFault(eFault);
    int nSignal = 0;
    sigwait(&signals, &nSignal);
    service.Stop();
    return 0;
}

int Install() {
    std::error_code error;
    fs::create_directories(RunDir(), error);
    std::ofstream mark(StatePath(kInstalledMark));
    return mark ? 0 : 1;
}

int Enable() {
    if (!fs::exists(StatePath(kInstalledMark))) {
        fprintf(stderr, "tnl_service: not installed\n");
        return 1;
    }
    if (IsRunning(ReadPid())) return 0;
    pid_t nPid = fork();
    if (nPid < 0) return 1;
    if (nPid == 0) {
        // Detached: no terminal, and none of the caller's descriptors (a caller that waits for
        // the end of a pipe it gave us must not wait for the daemon).
        setsid();
        close_range(3, ~0U, 0);
        int nNull = open("/dev/null", O_RDWR);
        for (int nFd = 0; nFd <= 2; ++nFd) dup2(nNull, nFd);
        if (nNull > 2) close(nNull);
        if (chdir("/") != 0) _exit(1);
        _exit(Serve(tnl_fake::EFault::kNone));
    }
    std::ofstream(StatePath(kPidFile)) << nPid << "\n";
    return WaitFor([] { return ServiceAnswers(); }) ? 0 : 1;
}

int Disable() {
    pid_t nPid = ReadPid();
    if (IsRunning(nPid)) {
        kill(nPid, SIGTERM);
        // The daemon removes its socket as it stops; its process may stay a zombie for a while
        // where nobody reaps orphans.
        WaitFor([nPid] {
            return !IsRunning(nPid) ||
                   !fs::exists(tnl_fake::CFakeTunnelService::SocketPath(RunDir()));
        });
    }
    std::error_code error;
    fs::remove(StatePath(kPidFile), error);
    return 0;
}

int Uninstall() {
    Disable();
    std::error_code error;
    fs::remove(StatePath(kInstalledMark), error);
    return 0;
}

// Deletes until the service has no connection of that name left (it answers "ERROR" then).
int Delete(const std::string& name) {
    pugi::xml_document doc;
    pugi::xml_node operation = doc.append_child("proto");
    operation.append_attribute("version") = "6.0";
    operation = operation.append_child("operation");
    operation.append_attribute("type") = "DELETE";
    operation.append_child("connection").append_child("name").text().set(name.c_str());
    std::ostringstream request;
    doc.save(request, "", pugi::format_raw | pugi::format_no_declaration);
    std::string strReply;
    while (tnl_fake::SendServiceRequest(RunDir(), request.str(), &strReply) &&
           strReply.find("\"ERROR\"") == std::string::npos) {
    }
    return 0;
}

int Usage() {
    fprintf(stderr,
            "usage: tnl_service install|uninstall|enable|disable|delete NAME|run [FAULT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string strCommand = argv[1];
    if (strCommand == "install" && argc == 2) return Install();
    if (strCommand == "uninstall" && argc == 2) return Uninstall();
    if (strCommand == "enable" && argc == 2) return Enable();
    if (strCommand == "disable" && argc == 2) return Disable();
    if (strCommand == "delete" && argc == 3) return Delete(argv[2]);
    tnl_fake::EFault eFault = tnl_fake::EFault::kNone;
    if (strCommand == "run" &&
        (argc == 2 || (argc == 3 && tnl_fake::ParseFault(argv[2], &eFault)))) {
        return Serve(eFault);
    }
    return Usage();
}
