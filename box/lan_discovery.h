// Finding boxes on the local network: a UDP broadcast of "GetHostName\r" on every local IPv4
// network, and a TCP probe of the box command port on every host of one /24 network, run on
// four threads. The result is the page's list text: each address followed by ";".
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

inline constexpr uint16_t kDiscoveryPort = 8767;         // bind port and broadcast target
inline constexpr uint16_t kProbePort = 8769;             // the box command port
inline constexpr int kDiscoveryBufferBytes = 16777216;   // send and receive buffers
inline constexpr std::string_view kHostNameRequest = "GetHostName\r";  // 12 bytes, no NUL
inline constexpr size_t kDatagramBytes = 4096;           // one broadcast answer
inline constexpr size_t kProbeAnswerBytes = 128;         // read from a probed host
inline constexpr int kProbeRangeHosts = 70;              // host numbers per probe thread
// A network whose hosts keep answering would otherwise hold the worker (and the command lock)
// for ever; a /24 with every host answering twice stays far below this.
inline constexpr int kMaxBroadcastAnswers = 1024;

struct CDiscoveryTiming {
    unsigned nConnectMs = 10;        // a probe connection must be made within this time
    unsigned nDatagramWaitMs = 100;  // the broadcast exchange ends this long after the last answer
    unsigned nTransferMs = 1000;     // receive and send time-outs of a probed host
};

// The four numbers of a dotted address as "%d.%d.%d.%d" reads them: fields are read in order
// until the text stops matching, and a field the text does not give keeps its start value, so
// "abc" gives 192.168.1.1 and "10.0" gives 10.0.1.1. Numbers beyond the int range saturate.
struct CAddressFields {
    int nA = 192;
    int nB = 168;
    int nC = 1;
    int nD = 1;
};
CAddressFields ParseAddressFields(std::string_view text);
// "%d.%d.%d.%d".
std::string FormatAddress(int nA, int nB, int nC, int nD);

// Appends "<address>;" unless the address is already a whole entry of the list ("192.168.1.7"
// is added beside "192.168.1.71;"). True when appended. The caller holds the list's lock.
bool AppendFoundBox(std::string* pFoundBoxes, const std::string& strAddress);

// One answer to the broadcast. A sender other than the own address is appended as
// "<sender>;" without a duplicate test (a box answering twice is listed twice); the answer's
// content is not examined. Returns the console line "recv : <text>, from:<sender>\r\n" (the
// datagram's text up to its first NUL) when the sender was listed, else "" (the own echo).
std::string TakeDiscoveryReply(const std::string& strOwnAddress, const std::string& strSender,
                               std::string_view datagram, std::string* pFoundBoxes);

// The result being built by one discovery and the lock its probe threads share.
struct CFoundBoxes {
    std::string strFoundBoxes;
    std::mutex hFoundMutex;
};

// Probes host numbers d .. d+69 (never beyond 255) of the network a.b.c given by the start
// address text: each host that accepts a connection on port 8769 within the connect time is
// sent "GetHostName\r", its answer (up to 128 bytes) is read and ignored, and the address is
// appended to the found list under its lock unless it is listed already. Thread procedure.
void ProbeSubnetRange(const std::string& strStart, CFoundBoxes* pFound,
                      const CDiscoveryTiming& timing);

// The list of boxes for the page ("" when none). With a box address, only that address's /24
// network is probed and nothing is broadcast. Otherwise each local address (in the order
// platform::GetLocalIpv4Addresses gives them) gets a broadcast exchange on its network, and,
// when nProbeFlag is non-zero, a probe of that network. Writes its diagnostics to the console.
std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr);
std::string DiscoverBoxes(int nProbeFlag, const std::string& strBoxAddr,
                          const CDiscoveryTiming& timing);
