// Starting other programs with fork and execve. Everything the child needs (program path,
// argument and environment arrays) is built before the fork, so the child only makes
// async-signal-safe calls until the exec: the process has other threads whose locks a
// forked child must never wait for.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/file_system.h"
#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

constexpr size_t kCaptureLimit = 64 * 1024;

// The program and its argument and environment arrays, ready for execve.
struct CPreparedSpawn {
    std::string strPath;
    std::string strWorkingDir;
    std::vector<std::string> argStrings;
    std::vector<std::string> envStrings;
    std::vector<char*> argv;
    std::vector<char*> envp;
    int nMaxFd = 1024;  // descriptors below this are closed in the child when close_range fails
};

std::vector<char*> PointerArray(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A copy of our environment with the request's variables added or replaced.
std::vector<std::string> MergedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& additions) {
    std::vector<std::string> merged;
    for (char** pp = environ; pp != nullptr && *pp != nullptr; ++pp) {
        const std::string_view entry(*pp);
        bool bReplaced = false;
        for (const auto& [name, value] : additions) {
            bReplaced = bReplaced || (entry.size() > name.size() && entry[name.size()] == '=' &&
                                      entry.substr(0, name.size()) == name);
        }
        if (!bReplaced) merged.emplace_back(entry);
    }
    for (const auto& [name, value] : additions) merged.push_back(name + "=" + value);
    return merged;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool PrepareSpawn(const CSpawnRequest& request, CPreparedSpawn* pPrepared) {
    const bool bBareName = request.strProgram.find('/') == std::string::npos;
    pPrepared->strPath = bBareName ? FindProgramOnPath(request.strProgram) : request.strProgram;
    if (pPrepared->strPath.empty()) return false;
    pPrepared->strWorkingDir = request.strWorkingDir;
    pPrepared->argStrings.push_back(request.strProgram);
    pPrepared->argStrings.insert(pPrepared->argStrings.end(), request.args.begin(),
                                 request.args.end());
    pPrepared->envStrings = MergedEnvironment(request.env);
    pPrepared->argv = PointerArray(pPrepared->argStrings);
    pPrepared->envp = PointerArray(pPrepared->envStrings);
    const long nOpenMax = sysconf(_SC_OPEN_MAX);
    pPrepared->nMaxFd = nOpenMax > 0 && nOpenMax < 65536 ? static_cast<int>(nOpenMax) : 65536;
    return true;
}

// Makes fd the descriptor `target` of the child, open across the exec.
void MoveFd(int fd, int target) {
    if (fd == target) {
        fcntl(fd, F_SETFD, 0);
    } else {
        dup2(fd, target);
    }
}

// Closes every descriptor from 3 up except `keep`, so the program inherits none of ours, even
// one opened by a library without close-on-exec.
void CloseInheritedFds(int keep, int nMaxFd) {
    const unsigned nKeep = static_cast<unsigned>(keep);
    const bool bLow = nKeep <= 3 || close_range(3, nKeep - 1, 0) == 0;
    if (bLow && close_range(std::max(nKeep + 1, 3u), ~0U, 0) == 0) return;
    for (int fd = 3; fd < nMaxFd; ++fd) {
        if (fd != keep) close(fd);
    }
}

// Runs in the forked child: stdin/stdout from the given descriptors (-1 keeps ours), default
// signal handling, the working folder, then the program. On failure errno goes to fdError.
[[noreturn]] void ExecChild(const CPreparedSpawn& prepared, int fdIn, int fdOut, int fdError) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int nSignal = 1; nSignal < NSIG; ++nSignal) sigaction(nSignal, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (fdIn >= 0) MoveFd(fdIn, STDIN_FILENO);
    if (fdOut >= 0) MoveFd(fdOut, STDOUT_FILENO);
    CloseInheritedFds(fdError, prepared.nMaxFd);
    if (prepared.strWorkingDir.empty() || chdir(prepared.strWorkingDir.c_str()) == 0) {
        execve(prepared.strPath.c_str(), prepared.argv.data(), prepared.envp.data());
    }
    const int nError = errno;
    [[maybe_unused]] const ssize_t n = write(fdError, &nError, sizeof(nError));
    _exit(127);
}

// Both ends close-on-exec; false when the pipe cannot be made.
bool MakePipe(int fds[2]) {
    return pipe2(fds, O_CLOEXEC) == 0;
}

void CloseFd(int* pFd) {
    if (*pFd >= 0) close(*pFd);
    *pFd = -1;
}

bool ReadFull(int fd, void* pBuffer, size_t nLength) {
    size_t nDone = 0;
    while (nDone < nLength) {
        const ssize_t n = read(fd, static_cast<char*>(pBuffer) + nDone, nLength - nDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

// Reads the child's exec outcome: end of file means the exec closed the pipe, so it succeeded.
bool ExecSucceeded(int fdErrorRead) {
    int nError = 0;
    return !ReadFull(fdErrorRead, &nError, sizeof(nError));
}

int WaitExitCode(pid_t pid) {
    int nStatus = 0;
    while (waitpid(pid, &nStatus, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// All signals stay blocked around a fork, so no handler of ours runs in the child before it
// resets them; the child unblocks them itself.
class CForkSignalBlock {
  public:
    CForkSignalBlock() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &m_previous);
    }
    ~CForkSignalBlock() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    CForkSignalBlock(const CForkSignalBlock&) = delete;
    CForkSignalBlock& operator=(const CForkSignalBlock&) = delete;

  private:
    sigset_t m_previous;
};

// Starts the program as our child with the given stdin/stdout (-1 keeps ours). Returns its
// pid once the exec has succeeded, else -1 (the failed child is reaped).
pid_t StartChild(const CPreparedSpawn& prepared, int fdIn, int fdOut) {
    int errorPipe[2];
    if (!MakePipe(errorPipe)) return -1;
    pid_t pid;
    {
        CForkSignalBlock block;
        pid = fork();
        if (pid == 0) ExecChild(prepared, fdIn, fdOut, errorPipe[1]);
    }
    CloseFd(&errorPipe[1]);
    const bool bStarted = pid > 0 && ExecSucceeded(errorPipe[0]);
    CloseFd(&errorPipe[0]);
    if (pid > 0 && !bStarted) WaitExitCode(pid);
    return bStarted ? pid : -1;
}

// The detached program is the child of a short-lived intermediate process, which exits at
// once, so the program is adopted by init (or the nearest subreaper) and never becomes our
// zombie. It runs in a session of its own, away from our terminal's signals.
pid_t StartDetached(const CPreparedSpawn& prepared, int fdIn) {
    int errorPipe[2], pidPipe[2];
    if (!MakePipe(errorPipe)) return -1;
    if (!MakePipe(pidPipe)) {
        CloseFd(&errorPipe[0]);
        CloseFd(&errorPipe[1]);
        return -1;
    }
    pid_t intermediate;
    {
        CForkSignalBlock block;
        intermediate = fork();
        if (intermediate == 0) {
            const pid_t pid = fork();
            if (pid == 0) {
                setsid();
                ExecChild(prepared, fdIn, -1, errorPipe[1]);
            }
            [[maybe_unused]] const ssize_t n = write(pidPipe[1], &pid, sizeof(pid));
            _exit(0);
        }
    }
    CloseFd(&errorPipe[1]);
    CloseFd(&pidPipe[1]);
    pid_t pid = -1;
    if (intermediate > 0) {
        WaitExitCode(intermediate);
        if (!ReadFull(pidPipe[0], &pid, sizeof(pid)) || pid <= 0 || !ExecSucceeded(errorPipe[0]))
            pid = -1;
    }
    CloseFd(&errorPipe[0]);
    CloseFd(&pidPipe[0]);
    return pid;
}

// SIGPIPE is held back while we write to a child that may have stopped reading; a SIGPIPE
// raised by those writes is taken off again, so the write just fails with EPIPE.
class CSigPipeHold {
  public:
    CSigPipeHold() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_bWasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }
    ~CSigPipeHold() {
        const timespec zero{0, 0};
        if (!m_bWasPending) {
            while (sigtimedwait(&m_pipe, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    CSigPipeHold(const CSigPipeHold&) = delete;
    CSigPipeHold& operator=(const CSigPipeHold&) = delete;

  private:
    sigset_t m_pipe, m_previous;
    bool m_bWasPending = false;
};

void WriteAll(int fd, std::string_view data) {
    CSigPipeHold hold;
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data.remove_prefix(static_cast<size_t>(n));
    }
}

// Reads to the end, keeping at most kCaptureLimit bytes; the rest is read and dropped so the
// child never blocks on a full pipe.
void CaptureAll(int fd, std::string* pOutput) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        const size_t nKeep = std::min(static_cast<size_t>(n), kCaptureLimit - pOutput->size());
        pOutput->append(buffer, nKeep);
    }
}

// Starts the program with one end of a new pipe as its stdin (bToChild) or stdout, hands our
// end to `use`, then waits for the program.
template <typename Use>
int RunWithPipe(const CSpawnRequest& request, bool bToChild, Use use) {
    CPreparedSpawn prepared;
    int fds[2];
    if (!PrepareSpawn(request, &prepared) || !MakePipe(fds)) return -1;
    int& ourEnd = bToChild ? fds[1] : fds[0];
    int& childEnd = bToChild ? fds[0] : fds[1];
    const pid_t pid = StartChild(prepared, bToChild ? childEnd : -1, bToChild ? -1 : childEnd);
    CloseFd(&childEnd);
    if (pid > 0) use(ourEnd);
    CloseFd(&ourEnd);
    return pid > 0 ? WaitExitCode(pid) : -1;
}

}  // namespace

bool SpawnDetached(const CSpawnRequest& request, int* pPid) {
    CPreparedSpawn prepared;
    if (!PrepareSpawn(request, &prepared)) return false;
    // The program reads nothing of our terminal.
    const int fdNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = StartDetached(prepared, fdNull);
    if (fdNull >= 0) close(fdNull);
    if (pid <= 0) return false;
    if (pPid != nullptr) *pPid = pid;
    return true;
}

// posix_spawn: the C library starts the child without running any code of ours in it. The
// child takes our descriptors that are not close-on-exec, as a program started by the system
// would.
int RunAndWait(const CSpawnRequest& request, const std::function<void()>& onStarted) {
    CPreparedSpawn prepared;
    if (!PrepareSpawn(request, &prepared)) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!prepared.strWorkingDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, prepared.strWorkingDir.c_str());
    }
    pid_t pid = 0;
    const int nResult = posix_spawn(&pid, prepared.strPath.c_str(), &actions, nullptr,
                                    prepared.argv.data(), prepared.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (nResult != 0) return -1;
    if (onStarted) onStarted();
    return WaitExitCode(pid);
}

int RunWithInput(const CSpawnRequest& request, std::string_view input) {
    return RunWithPipe(request, true, [&](int fd) { WriteAll(fd, input); });
}

int RunAndCapture(const CSpawnRequest& request, std::string* output) {
    output->clear();
    return RunWithPipe(request, false, [&](int fd) { CaptureAll(fd, output); });
}

std::string FindProgramOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const char* szPath = std::getenv("PATH");
    const std::string_view folders = szPath != nullptr ? szPath : "/usr/local/bin:/usr/bin:/bin";
    size_t nStart = 0;
    while (nStart <= folders.size()) {
        size_t nEnd = folders.find(':', nStart);
        if (nEnd == std::string_view::npos) nEnd = folders.size();
        // An empty entry would mean the current folder; programs are never taken from there.
        const std::string_view folder = folders.substr(nStart, nEnd - nStart);
        if (!folder.empty()) {
            const std::string candidate = JoinPath(folder, name);
            if (IsExecutableFile(candidate)) return candidate;
        }
        nStart = nEnd + 1;
    }
    return {};
}

bool OpenWithShell(const std::string& /*strVerb*/, const std::string& strFile,
                   const std::string& strParameters) {
    if (!strParameters.empty()) return SpawnDetached({strFile, {strParameters}, {}, {}});
    return SpawnDetached({"xdg-open", {strFile}, {}, {}});
}

}  // namespace platform
