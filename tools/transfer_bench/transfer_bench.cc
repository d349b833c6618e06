// transfer_bench: speed and memory of file transfers to and from the simulated box on loopback.
//
//   transfer_bench [--size-mib 64]        download and upload, each beside a plain socket copy
//   transfer_bench --memory [--size-mib 256] [--sim PATH]
//                                          peak memory of one upload from a box in its own process
//
// The data phase runs from the first data byte to the last (the progress reports mark both
// ends), leaving out the protocol's fixed waits; the reference moves the same bytes over a plain
// loopback connection into a buffer. The ratio is reference time / transfer time, so 1.0 means
// as fast as the plain copy. Nothing here is a test: it prints what it measured.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "box/file_transfer.h"
#include "box/tcp_link.h"
#include "platform/file_system.h"
#include "tools/box_sim/box_sim.h"
#include "tools/process_status.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Marks the first and the last progress report of a transfer.
class CPhaseReport : public IOperationReport {
public:
    void RunPageScript(const std::string&, int) override {}
    bool AskYesNo(const std::string&) override { return false; }
    bool ShowMessage(const std::string&, bool) override { return false; }
    bool SetClipboardText(const std::string&) override { return false; }
    void ShowProgress(uint64_t nDone, uint64_t nTotal) override {
        if (nDone == 0) start = Clock::now();
        if (nDone == nTotal) end = Clock::now();
    }
    double DataSeconds() const { return Seconds(start, end); }

    Clock::time_point start, end;
};


// The same bytes over a plain loopback connection, in transfer-sized sends and receives; with a
// path, the receiver also writes what it receives to that file.
double PlainCopySeconds(const std::string& data, const char* szAddress,
                        const std::string& strPath = {}) {
    const int nListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, szAddress, &address.sin_addr);
    socklen_t nLength = sizeof(address);
    if (bind(nListen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(nListen, 1) != 0 ||
        getsockname(nListen, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        close(nListen);
        return -1;
    }
    Clock::time_point end;
    std::thread receiver([&] {
        const int nPeer = accept(nListen, nullptr, nullptr);
        const int nFile = strPath.empty() ? -1 : open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char> chunk(kTransferChunk);
        size_t nTotal = 0;
        while (nTotal < data.size()) {
            const ssize_t n = recv(nPeer, chunk.data(), std::min(data.size() - nTotal, chunk.size()), 0);
            if (n <= 0) break;
            if (nFile >= 0 && write(nFile, chunk.data(), static_cast<size_t>(n)) != n) break;
            nTotal += static_cast<size_t>(n);
        }
        end = Clock::now();
        if (nFile >= 0) close(nFile);
        close(nPeer);
    });
    const int nSender = socket(AF_INET, SOCK_STREAM, 0);
    connect(nSender, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    const Clock::time_point start = Clock::now();
    for (size_t nOffset = 0; nOffset < data.size();) {
        const ssize_t n = send(nSender, data.data() + nOffset,
                               std::min(data.size() - nOffset, kTransferChunk), MSG_NOSIGNAL);
        if (n <= 0) break;
        nOffset += static_cast<size_t>(n);
    }
    receiver.join();
    close(nSender);
    close(nListen);
    return Seconds(start, end);
}

struct CRun {
    double dDataSeconds = 0;
    double dWholeSeconds = 0;
    bool bOk = false;
};

CRun RunDownload(CBoxChannel& channel, const std::string& strPath, const std::string& strMd5) {
    CPhaseReport report;
    platform::CFileStream file;
    CRun run;
    const Clock::time_point start = Clock::now();
    run.bOk = file.Open(strPath, platform::CFileStream::Mode::kReadExisting) &&
              DownloadFileToBox(channel, report, "bench.bin", file, strMd5);
    run.dWholeSeconds = Seconds(start, Clock::now());
    run.dDataSeconds = report.DataSeconds();
    return run;
}

CRun RunUpload(CBoxChannel& channel, const std::string& strPath) {
    CPhaseReport report;
    CRun run;
    const Clock::time_point start = Clock::now();
    run.bOk = UploadFileFromBox(channel, report, "bench.bin", "", strPath) ==
              UploadOutcome::kSuccess;
    run.dWholeSeconds = Seconds(start, Clock::now());
    run.dDataSeconds = report.DataSeconds();
    return run;
}

void PrintRun(const char* szName, const CRun& run, double dReference, size_t nSize) {
    const double dMiB = static_cast<double>(nSize) / (1024.0 * 1024.0);
    printf("%-9s %s data %7.1f MiB/s  plain copy %7.1f MiB/s  ratio %.2f (goal 0.70)  whole "
           "operation %.2f s\n",
           szName, run.bOk ? "ok    " : "FAILED", dMiB / run.dDataSeconds, dMiB / dReference,
           dReference / run.dDataSeconds, run.dWholeSeconds);
}

// The upload also writes every byte to a file, which a bare socket copy does not: the second
// reference shows what the file system costs.
void PrintFileReference(const CRun& upload, double dReference, size_t nSize) {
    const double dMiB = static_cast<double>(nSize) / (1024.0 * 1024.0);
    printf("%-9s plain copy into a file %7.1f MiB/s  upload ratio against it %.2f\n", "",
           dMiB / dReference, dReference / upload.dDataSeconds);
}

int RunThroughput(size_t nSize) {
    const std::string data = SimPatternBytes(nSize);
    const std::string strDir = platform::MakeTempDirectory("transfer-bench");
    const std::string strLocal = platform::JoinPath(strDir, "local.bin");
    platform::WriteFileAtomic(strLocal, data);
    CSimBox sim;
    CSimBoxConfig config;
    const std::string strAddress = StartOnFreeLoopbackAddress(sim, config, 85);
    BoxTcpLink link;
    if (strAddress.empty() || !link.Open(kBoxCommandPort, strAddress)) {
        fprintf(stderr, "transfer_bench: the simulated box did not start\n");
        return 1;
    }
    {
        auto lock = sim.Lock();  // the box side of a download costs no more than a plain receive
        sim.State().bDiscardDownloads = true;
        sim.State().files["bench.bin"] = data;
    }
    CBoxChannel channel;
    channel.SetActiveLink(&link);
    CRun best[2];
    double dReference = 1e9, dFileReference = 1e9;
    const std::string strCopy = platform::JoinPath(strDir, "copy.bin");
    for (int i = 0; i < kRuns; ++i) {
        dReference = std::min(dReference, PlainCopySeconds(data, strAddress.c_str()));
        dFileReference = std::min(dFileReference, PlainCopySeconds(data, strAddress.c_str(), strCopy));
        const CRun download = RunDownload(channel, strLocal, SimMd5Hex(data));
        const CRun upload = RunUpload(channel, platform::JoinPath(strDir, "back.bin"));
        if (i == 0 || download.dDataSeconds < best[0].dDataSeconds) best[0] = download;
        if (i == 0 || upload.dDataSeconds < best[1].dDataSeconds) best[1] = upload;
    }
    printf("%zu MiB over loopback TCP, best of %d\n", nSize >> 20, kRuns);
    PrintRun("download", best[0], dReference, nSize);
    PrintRun("upload", best[1], dReference, nSize);
    PrintFileReference(best[1], dFileReference, nSize);
    platform::RemoveDirectoryTree(strDir);
    return best[0].bOk && best[1].bOk ? 0 : 1;
}

pid_t StartSimProcess(const std::string& strSim, const std::string& strAddress, size_t nSize) {
    const std::string strFile = "bench.bin=" + std::to_string(nSize);
    const char* argv[] = {strSim.c_str(), "--address", strAddress.c_str(), "--file",
                          strFile.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, strSim.c_str(), nullptr, nullptr, const_cast<char**>(argv),
                    environ) != 0) {
        return -1;
    }
    return pid;
}

int RunMemory(size_t nSize, const std::string& strSim) {
    const std::string strAddress = "127.0.86.20";
    const pid_t pid = StartSimProcess(strSim, strAddress, nSize);
    BoxTcpLink link;
    bool bConnected = false;
    for (int i = 0; i < 100 && pid > 0 && !bConnected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bConnected = link.Open(kBoxCommandPort, strAddress);
    }
    int nExit = 1;
    if (bConnected) {
        const std::string strDir = platform::MakeTempDirectory("transfer-bench");
        CBoxChannel channel;
        channel.SetActiveLink(&link);
        const long nIdle = ProcessStatusKiB("VmRSS:");
        const CRun upload = RunUpload(channel, platform::JoinPath(strDir, "back.bin"));
        const long nPeak = ProcessStatusKiB("VmHWM:");
        printf("upload of %zu MiB %s in %.2f s: idle %ld KiB, peak %ld KiB, peak above idle "
               "%.1f MiB (goal under 16)\n",
               nSize >> 20, upload.bOk ? "ok" : "FAILED", upload.dWholeSeconds, nIdle, nPeak,
               static_cast<double>(nPeak - nIdle) / 1024.0);
        platform::RemoveDirectoryTree(strDir);
        nExit = upload.bOk ? 0 : 1;
    } else {
        fprintf(stderr, "transfer_bench: cannot reach the simulated box at %s\n",
                strAddress.c_str());
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return nExit;
}

}  // namespace

int main(int argc, char** argv) {
    bool bMemory = false;
    size_t nSizeMiB = 0;
    std::string strSim = platform::JoinPath(
        std::string(argv[0]).substr(0, std::string(argv[0]).find_last_of('/') + 1), "zelvo_box_sim");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--memory") {
            bMemory = true;
        } else if (arg == "--size-mib" && i + 1 < argc) {
            nSizeMiB = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--sim" && i + 1 < argc) {
            strSim = argv[++i];
        } else {
            fprintf(stderr, "usage: transfer_bench [--memory] [--size-mib N] [--sim PATH]\n");
            return 2;
        }
    }
    if (nSizeMiB == 0) nSizeMiB = bMemory ? 256 : 64;
    return bMemory ? RunMemory(nSizeMiB << 20, strSim) : RunThroughput(nSizeMiB << 20);
}
