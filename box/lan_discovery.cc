#include "box/lan_discovery.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <iterator>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/net_socket.h"

namespace {

// The first host number of each probe thread's range: 1-70, 71-140, 141-210, 211-255.
constexpr std::array<int, 4> kRangeStarts = {1, 71, 141, 211};

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One "%d" field at *pnPos: blanks, an optional sign, then at least one digit.
bool ReadNumber(std::string_view text, size_t* pnPos, int* pnValue) {
    size_t n = *pnPos;
    while (n < text.size() && IsBlank(text[n])) ++n;
    const bool bNegative = n < text.size() && text[n] == '-';
    if (n < text.size() && (text[n] == '-' || text[n] == '+')) ++n;
    if (n >= text.size() || !IsDigit(text[n])) return false;
    long long nMagnitude = 0;
    for (; n < text.size() && IsDigit(text[n]); ++n) {
        nMagnitude = std::min<long long>(nMagnitude * 10 + (text[n] - '0'), INT_MAX);
    }
    *pnValue = static_cast<int>(bNegative ? -nMagnitude : nMagnitude);
    *pnPos = n;
    return true;
}

// Asks the host's command port for its name. True when the connection was made: the answer
// itself is read only to let the host finish, and is not examined.
bool AskHostName(const std::string& strHost, const CDiscoveryTiming& timing) {
    const platform::SocketHandle s = platform::ConnectTcp(strHost, kProbePort, timing.nConnectMs);
    if (s == platform::kInvalidSocket) return false;
    // Without time-outs a silent host would hold the thread for ever: then do not wait at all.
    if (platform::SetSocketTimeouts(s, timing.nTransferMs, timing.nTransferMs) &&
        platform::SocketSend(s, kHostNameRequest.data(), kHostNameRequest.size()) >= 0) {
        char answer[kProbeAnswerBytes];
        size_t nTotal = 0;
        while (nTotal < sizeof(answer)) {
            const long n = platform::SocketReceive(s, answer + nTotal, sizeof(answer) - nTotal);
            if (n <= 0) break;
            nTotal += static_cast<size_t>(n);
        }
    }
    platform::CloseSocket(s);
    return true;
}

// Reads the answers to one broadcast until none comes within the wait, the wait or a receive
// fails, or the answer limit is reached.
void ReceiveAnswers(platform::SocketHandle s, const std::string& strOwnAddress,
                    CFoundBoxes* pFound, const CDiscoveryTiming& timing) {
    std::vector<char> buffer(kDatagramBytes, '\0');
    for (int nAnswers = 0; nAnswers < kMaxBroadcastAnswers; ++nAnswers) {
        const int nReady = platform::WaitReadable(s, timing.nDatagramWaitMs);
        if (nReady < 0) {
            std::fprintf(stderr, "autoRecvProc.select error %d\n", platform::LastSocketError());
            return;
        }
        if (nReady == 0) return;
        std::string strSender;
        const long nLength = platform::ReceiveDatagram(s, buffer.data(), buffer.size(), &strSender);
        if (nLength < 0) {
            std::fprintf(stderr, "autoRecvProc.recvfrom error\n");
            return;
        }
        const std::string strLine =
            TakeDiscoveryReply(strOwnAddress, strSender,
                               std::string_view(buffer.data(), static_cast<size_t>(nLength)),
                               &pFound->strFoundBoxes);
        std::fputs(strLine.c_str(), stderr);  // standard output is the frontend's
    }
}

// Broadcasts "GetHostName\r" on the network a.b.c and lists who answers. Any failure before the
// answers ends the exchange silently. No probe thread runs meanwhile, so no lock is taken.
void ExchangeBroadcast(const std::string& strOwnAddress, const CAddressFields& network,
                       CFoundBoxes* pFound, const CDiscoveryTiming& timing) {
    const platform::SocketHandle s =
        platform::OpenBroadcastSocket(kDiscoveryPort, kDiscoveryBufferBytes);
    if (s == platform::kInvalidSocket) return;
    const std::string strTarget = FormatAddress(network.nA, network.nB, network.nC, 255);
    if (platform::SendDatagram(s, strTarget, kDiscoveryPort, kHostNameRequest.data(),
                               kHostNameRequest.size())) {
        ReceiveAnswers(s, strOwnAddress, pFound, timing);
    }
    platform::CloseSocket(s);
}

// A probe thread for one range; when no thread can be started the range runs here instead.
std::thread StartProbe(const std::string& strStart, CFoundBoxes* pFound,
                       const CDiscoveryTiming& timing) {
    try {
        return std::thread(ProbeSubnetRange, std::cref(strStart), pFound, std::cref(timing));
    } catch (const std::system_error&) {
        ProbeSubnetRange(strStart, pFound, timing);
        return std::thread();
    }
}

// Probes every host number 1..255 of the network a.b.c on four threads and waits for them.
void ProbeNetwork(const CAddressFields& network, CFoundBoxes* pFound,
                  const CDiscoveryTiming& timing) {
    std::array<std::string, kRangeStarts.size()> starts;
    std::array<std::thread, kRangeStarts.size()> threads;
    for (size_t i = 0; i < kRangeStarts.size(); ++i) {
        starts[i] = FormatAddress(network.nA, network.nB, network.nC, kRangeStarts[i]);
        threads[i] = StartProbe(starts[i], pFound, timing);
    }
    for (std::thread& thread : threads) {
        if (thread.joinable()) thread.join();
    }
}

}  // namespace

CAddressFields ParseAddressFields(std::string_view text) {
    CAddressFields fields;
    int* const fieldOrder[] = {&fields.nA, &fields.nB, &fields.nC, &fields.nD};
    size_t nPos = 0;
    for (size_t i = 0; i < std::size(fieldOrder); ++i) {
        if (i > 0) {
            if (nPos >= text.size() || text[nPos] != '.') break;
            ++nPos;
        }
        if (!ReadNumber(text, &nPos, fieldOrder[i])) break;
    }
    return fields;
}

std::string FormatAddress(int nA, int nB, int nC, int nD) {
    return std::to_string(nA) + '.' + std::to_string(nB) + '.' + std::to_string(nC) + '.' +
           std::to_string(nD);
}

bool AppendFoundBox(std::string* pFoundBoxes, const std::string& strAddress) {
    const std::string_view list = *pFoundBoxes;
    size_t nStart = 0;
    while (nStart < list.size()) {
        size_t nEnd = list.find(';', nStart);
        if (nEnd == std::string_view::npos) nEnd = list.size();
        if (list.substr(nStart, nEnd - nStart) == strAddress) return false;
        nStart = nEnd + 1;
    }
    pFoundBoxes->append(strAddress).push_back(';');
    return true;
}

std::string TakeDiscoveryReply(const std::string& strOwnAddress, const std::string& strSender,
                               std::string_view datagram, std::string* pFoundBoxes) {
    if (strSender == strOwnAddress) return {};
    pFoundBoxes->append(strSender).push_back(';');
    const std::string_view text = datagram.substr(0, datagram.find('\0'));
    return "recv : " + std::string(text) + ", from:" + strSender + "\r\n";
}

void ProbeSubnetRange(const std::string& strStart, CFoundBoxes* pFound,
                      const CDiscoveryTiming& timing) {
    const CAddressFields start = ParseAddressFields(strStart);
    for (int i = 0; i < kProbeRangeHosts; ++i) {
        const long long nHost = static_cast<long long>(start.nD) + i;
        if (nHost > 255) break;
        const std::string strHost =
            FormatAddress(start.nA, start.nB, start.nC, static_cast<int>(nHost));
        if (!AskHostName(strHost, timing)) continue;
        std::lock_guard<std::mutex> lock(pFound->hFoundMutex);
        AppendFoundBox(&pFound->strFoundBoxes, strHost);
    }
}

std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr) {
    return DiscoverBoxes(nProbeFlag, strBoxAddr, CDiscoveryTiming{});
}

std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr,
                          const CDiscoveryTiming& timing) {
    CFoundBoxes found;
    if (!strBoxAddr.empty()) {
        ProbeNetwork(ParseAddressFields(strBoxAddr), &found, timing);
        return found.strFoundBoxes;
    }
    for (const std::string& strOwnAddress : platform::GetLocalIpv4Addresses()) {
        const CAddressFields network = ParseAddressFields(strOwnAddress);
        ExchangeBroadcast(strOwnAddress, network, &found, timing);
        if (nProbeFlag != 0) ProbeNetwork(network, &found, timing);
    }
    return found.strFoundBoxes;
}
