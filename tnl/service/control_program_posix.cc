#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "platform/file_system.h"
#include "platform/thread_util.h"
#include "platform/tunnel_paths.h"
#include "tnl/service/control_program.h"
#include "tnl/service/fake_tunnel_service.h"
#include "tnl/service/port_links.h"
#include "tnl/service/service_socket.h"
#include "tnl/service/tunnel_service.h"

namespace tnl_service {

namespace {

constexpr uint32_t kPollStepMs = 10;
constexpr int kPollRounds = 500;  // 5 s for the service to come up or go away
constexpr int kFirstRestartPauseMs = 200;
constexpr int kLongestRestartPauseMs = 5000;
constexpr uint64_t kSteadyRunMs = 1000;  // a worker that lived this long resets the pause

std::string RunFile(const char* szName) {
    return platform::JoinPath(platform::GetTunnelRunDir(), szName);
}

// The run folder, readable by the user only: whoever reaches the socket controls the ports.
bool PrepareRunDir() {
    std::string strDir = platform::GetTunnelRunDir();
    bool bOk = platform::DirectoryExists(strDir) || platform::CreateDirectories(strDir);
    return bOk && chmod(strDir.c_str(), 0700) == 0;
}

template <typename Predicate>
bool WaitFor(Predicate predicate) {
    for (int i = 0; i < kPollRounds && !predicate(); ++i) platform::SleepMs(kPollStepMs);
    return predicate();
}

pid_t ReadPid(const char* szFile) {
    std::string strText;
    long nPid = platform::ReadFileBytes(RunFile(szFile), &strText) ? atol(strText.c_str()) : 0;
    return nPid > 0 ? static_cast<pid_t>(nPid) : 0;
}

void WritePid(const char* szFile, pid_t nPid) {
    platform::WriteFileAtomic(RunFile(szFile), std::to_string(nPid) + "\n");
}

std::string ProgramOf(const std::string& procDir) {
    char szPath[4096];
    ssize_t nLength = readlink((procDir + "/exe").c_str(), szPath, sizeof(szPath));
    return nLength > 0 ? std::string(szPath, static_cast<size_t>(nLength)) : std::string();
}

// A live (not ended, not a zombie) process running this program: a process id left in a file
// by an earlier boot may belong to anybody now.
bool IsOurs(pid_t nPid) {
    if (nPid <= 0 || kill(nPid, 0) != 0) return false;
    std::string strProc = "/proc/" + std::to_string(nPid), strStat;
    if (!platform::ReadFileBytes(strProc + "/stat", &strStat)) return true;  // no /proc to ask
    size_t nState = strStat.rfind(") ");
    if (nState != std::string::npos && strStat.compare(nState + 2, 1, "Z") == 0) return false;
    return ProgramOf(strProc) == ProgramOf("/proc/self");
}

// Asks the process to stop, and ends it when it has not within the wait.
void EndProcess(pid_t nPid) {
    if (!IsOurs(nPid)) return;
    kill(nPid, SIGTERM);
    if (WaitFor([nPid] { return !IsOurs(nPid); })) return;
    kill(nPid, SIGKILL);
    WaitFor([nPid] { return !IsOurs(nPid); });
}

bool ServiceAnswers() {
    std::string strReply;
    return SendServiceRequest(
        platform::GetTunnelRunDir(),
        "<proto version=\"6.0\" id=\"1\"><operation type=\"GETLIST\" status=\"1\"/></proto>",
        &strReply);
}

// The supervisor first (it stops its worker), then a worker that outlived it; then whatever
// links are still recorded.
void StopService() {
    for (const char* szFile : {kSupervisorPidFile, kWorkerPidFile}) {
        EndProcess(ReadPid(szFile));
        platform::RemoveFile(RunFile(szFile));
    }
    RemoveRecordedLinks(RunFile(kLinksFile));
}

// The test double with a fault, until SIGINT or SIGTERM arrives.
int ServeFault(tnl_fake::EFault eFault) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the service's threads inherit the mask
    tnl_fake::CFakeTunnelService service(platform::GetTunnelRunDir());
    if (!service.Start()) {
        fprintf(stderr, "tnl_service: cannot listen in %s\n", platform::GetTunnelRunDir().c_str());
        return 1;
    }
    service.SetFault(eFault);
    int nSignal = 0;
    sigwait(&signals, &nSignal);
    service.Stop();
    return 0;
}

pid_t StartWorker(const sigset_t& signals) {
    pid_t nPid = fork();
    if (nPid == 0) {
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        _exit(RunTunnelService());
    }
    if (nPid > 0) WritePid(kWorkerPidFile, nPid);
    return nPid;
}

// Waits until the worker has ended, passing a stop request on to it. True when it was asked to
// stop.
bool AwaitWorker(pid_t nWorker, const sigset_t& signals, int* pStatus) {
    bool bStopping = false;
    for (;;) {
        int nSignal = sigwaitinfo(&signals, nullptr);
        if (nSignal == SIGTERM || nSignal == SIGINT) {
            bStopping = true;
            kill(nWorker, SIGTERM);
        }
        if (waitpid(nWorker, pStatus, WNOHANG) == nWorker) return bStopping;
    }
}

// Waits nPauseMs; true when a stop request came in the meantime.
bool PauseUnlessStopped(const sigset_t& signals, int nPauseMs) {
    uint64_t nEnd = platform::MonotonicMs() + static_cast<uint64_t>(nPauseMs);
    for (uint64_t nNow; (nNow = platform::MonotonicMs()) < nEnd;) {
        uint64_t nLeft = nEnd - nNow;
        timespec wait = {static_cast<time_t>(nLeft / 1000),
                         static_cast<long>(nLeft % 1000) * 1000000};
        int nSignal = sigtimedwait(&signals, nullptr, &wait);
        if (nSignal == SIGTERM || nSignal == SIGINT) return true;
    }
    return false;
}

// Runs workers one after another until a stop request, or until a worker ends on its own (a
// worker that exits did so on purpose; only one killed by a signal is replaced).
int Supervise() {
    WritePid(kSupervisorPidFile, getpid());
    sigset_t signals;
    sigemptyset(&signals);
    for (int nSignal : {SIGTERM, SIGINT, SIGCHLD}) sigaddset(&signals, nSignal);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int nPauseMs = kFirstRestartPauseMs;
    for (;;) {
        uint64_t nStartedMs = platform::MonotonicMs();
        pid_t nWorker = StartWorker(signals);
        int nStatus = 0;
        if (nWorker < 0 || AwaitWorker(nWorker, signals, &nStatus) || !WIFSIGNALED(nStatus)) break;
        fprintf(stderr, "tnl_service: worker ended by signal %d; starting again\n",
                WTERMSIG(nStatus));
        RemoveRecordedLinks(RunFile(kLinksFile));
        bool bSteady = platform::MonotonicMs() - nStartedMs >= kSteadyRunMs;
        nPauseMs = bSteady ? kFirstRestartPauseMs : std::min(nPauseMs * 2, kLongestRestartPauseMs);
        if (PauseUnlessStopped(signals, nPauseMs)) break;
    }
    platform::RemoveFile(RunFile(kWorkerPidFile));
    platform::RemoveFile(RunFile(kSupervisorPidFile));
    return 0;
}

// Detached: no terminal, and none of the caller's descriptors (a caller that waits for the end
// of a pipe it gave us must not wait for the service).
void Detach() {
    setsid();
    close_range(3, ~0U, 0);
    int nNull = open("/dev/null", O_RDWR);
    for (int nFd = 0; nFd <= 2; ++nFd) dup2(nNull, nFd);
    if (nNull > 2) close(nNull);
    if (chdir("/") != 0) _exit(1);
}

int Install() {
    return PrepareRunDir() && platform::WriteFileAtomic(RunFile(kInstalledMark), "") ? 0 : 1;
}

int Enable() {
    if (!PrepareRunDir()) return 1;
    if (!platform::FileExists(RunFile(kInstalledMark))) {
        fprintf(stderr, "tnl_service: not installed\n");
        return 1;
    }
    if (ServiceAnswers()) return 0;
    StopService();  // what is left of a service that does not answer
    pid_t nPid = fork();
    if (nPid < 0) return 1;
    if (nPid == 0) {
        Detach();
        _exit(Supervise());
    }
    return WaitFor(ServiceAnswers) ? 0 : 1;
}

int Disable() {
    StopService();
    return 0;
}

int Uninstall() {
    StopService();
    platform::RemoveFile(RunFile(kInstalledMark));
    platform::RemoveFile(RunFile(kConnectionsFile));
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
    while (SendServiceRequest(platform::GetTunnelRunDir(), request.str(), &strReply) &&
           strReply.find("\"ERROR\"") == std::string::npos) {
    }
    return 0;
}

int Run(const char* szFault) {
    tnl_fake::EFault eFault = tnl_fake::EFault::kNone;
    if (szFault != nullptr && !tnl_fake::ParseFault(szFault, &eFault)) return -1;
    if (!PrepareRunDir()) return 1;
    return eFault == tnl_fake::EFault::kNone ? RunTunnelService() : ServeFault(eFault);
}

int Usage() {
    fprintf(stderr,
            "usage: tnl_service install|uninstall|enable|disable|delete NAME|run [FAULT]\n");
    return 2;
}

}  // namespace

int ControlMain(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string strCommand = argv[1];
    if (strCommand == "install" && argc == 2) return Install();
    if (strCommand == "uninstall" && argc == 2) return Uninstall();
    if (strCommand == "enable" && argc == 2) return Enable();
    if (strCommand == "disable" && argc == 2) return Disable();
    if (strCommand == "delete" && argc == 3) return Delete(argv[2]);
    if (strCommand == "run" && argc <= 3) {
        int nResult = Run(argc == 3 ? argv[2] : nullptr);
        if (nResult >= 0) return nResult;
    }
    return Usage();
}

}  // namespace tnl_service
