// pass_bench: what the relay costs, measured in one process on loopback.
//
//   pass_bench [--size-mib 8] [--pings 200]
//
// An echo server stands for the remote server. The reference connects to it directly; the
// relay run connects to an in-process relay that connects onward to the same server. Bulk:
// the bytes are sent and their echo read back at the same time, timed from the first byte sent
// to the last byte read. Latency: one byte sent and its echo awaited, many times over. The
// ratios are relay / direct, so 1.0 means the relay costs nothing. Nothing here is a test: it
// prints what it measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/net_socket.h"
#include "tunnel/relay.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::SocketHandle;

constexpr int kRuns = 3;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Echoes every connection, one at a time, until the listener is shut down.
class CEchoServer {
public:
    CEchoServer() : m_listen(platform::ListenTcp("127.0.0.1", 0, 5)) {
        m_thread = std::thread([this] {
            SocketHandle s;
            while ((s = platform::AcceptConnection(m_listen)) != platform::kInvalidSocket) {
                char buffer[65536];
                long n;
                while ((n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0 &&
                       platform::SocketSendAll(s, buffer, static_cast<size_t>(n))) {
                }
                platform::CloseSocket(s);
            }
        });
    }
    ~CEchoServer() {
        platform::ShutdownSocket(m_listen);
        m_thread.join();
        platform::CloseSocket(m_listen);
    }
    uint16_t Port() const { return platform::SocketLocalPort(m_listen); }

private:
    SocketHandle m_listen;
    std::thread m_thread;
};

// Seconds to send the data and read its echo back; negative when the echo fell short.
double TimeBulk(SocketHandle s, const std::string& strData) {
    const Clock::time_point start = Clock::now();
    std::thread sender([&] { platform::SocketSendAll(s, strData.data(), strData.size()); });
    std::vector<char> buffer(65536);
    size_t nReceived = 0;
    long n = 1;
    while (nReceived < strData.size() && n > 0) {
        n = platform::SocketReceive(s, buffer.data(), buffer.size());
        if (n > 0) nReceived += static_cast<size_t>(n);
    }
    const Clock::time_point end = Clock::now();
    sender.join();
    return nReceived == strData.size() ? Seconds(start, end) : -1.0;
}

// Mean seconds of a one-byte round trip; negative when an echo did not come.
double TimePing(SocketHandle s, int nPings) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < nPings; ++i) {
        char c = static_cast<char>(i);
        if (!platform::SocketSendAll(s, &c, 1) || platform::SocketReceive(s, &c, 1) != 1) {
            return -1.0;
        }
    }
    return Seconds(start, Clock::now()) / nPings;
}

struct CResult {
    double dBulkSeconds = 1e9;  // best of the runs
    double dPingSeconds = 1e9;
};

// Best of the runs, each on a fresh connection to the port.
bool Measure(uint16_t nPort, const std::string& strData, int nPings, CResult* pResult) {
    for (int i = 0; i < kRuns; ++i) {
        const SocketHandle s = platform::ConnectTcp("127.0.0.1", nPort, 5000);
        if (s == platform::kInvalidSocket) return false;
        platform::SetSocketTimeouts(s, 30000, 30000);
        const double dBulk = TimeBulk(s, strData);
        const double dPing = TimePing(s, nPings);
        platform::CloseSocket(s);
        if (dBulk < 0 || dPing < 0) return false;
        pResult->dBulkSeconds = std::min(pResult->dBulkSeconds, dBulk);
        pResult->dPingSeconds = std::min(pResult->dPingSeconds, dPing);
    }
    return true;
}

uint16_t FreePort() {
    const SocketHandle s = platform::ListenTcp("127.0.0.1", 0, 1);
    const uint16_t nPort = platform::SocketLocalPort(s);
    platform::CloseSocket(s);
    return nPort;
}

void Print(const char* szName, const CResult& result, size_t nBytes) {
    std::printf("%-8s %10.1f MB/s %10.2f ns/byte %10.1f us/round trip\n", szName,
                nBytes / result.dBulkSeconds / 1e6, result.dBulkSeconds * 1e9 / nBytes,
                result.dPingSeconds * 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    size_t nSizeMib = 8;
    int nPings = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size-mib") == 0) nSizeMib = std::strtoul(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--pings") == 0) nPings = std::atoi(argv[i + 1]);
    }
    const std::string strData(nSizeMib << 20, '\x5a');
    CEchoServer server;
    CRelay relay;
    const CRelayParams params{FreePort(), server.Port(), "127.0.0.1", ""};
    if (!relay.Start(params)) {
        std::fprintf(stderr, "pass_bench: the relay could not listen\n");
        return 1;
    }
    CResult direct, relayed;
    if (!Measure(server.Port(), strData, nPings, &direct) ||
        !Measure(static_cast<uint16_t>(params.nListenPort), strData, nPings, &relayed)) {
        std::fprintf(stderr, "pass_bench: an echo fell short\n");
        return 1;
    }
    relay.Stop();
    std::printf("echo of %zu MiB each way, best of %d runs; %d one-byte round trips\n", nSizeMib,
                kRuns, nPings);
    Print("direct", direct, strData.size());
    Print("relay", relayed, strData.size());
    std::printf("throughput ratio relay/direct  %.4f\n", direct.dBulkSeconds / relayed.dBulkSeconds);
    std::printf("time per byte ratio            %.1f (added %.2f ns/byte)\n",
                relayed.dBulkSeconds / direct.dBulkSeconds,
                (relayed.dBulkSeconds - direct.dBulkSeconds) * 1e9 / strData.size());
    std::printf("round trip ratio               %.1f (added %.1f us)\n",
                relayed.dPingSeconds / direct.dPingSeconds,
                (relayed.dPingSeconds - direct.dPingSeconds) * 1e6);
    return 0;
}
