// A simulated box for tests: answers the box command set over TCP (port 8769), over a USB report
// stream (on Linux: one end of a SOCK_SEQPACKET socket pair standing in for the HID device) and
// to UDP discovery datagrams, moves files with the transfer header and acknowledgements, and can
// be told to misbehave. Everything it binds is a loopback address; Start refuses any other.
//
// Replies: the identification texts (type, serial, "Mode=%d", host name) go out without a line
// end, so that the program can compare them with its box type list as they are; confirmations
// are "OK\r"; refusals and unknown commands "ERROR\r".
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct CSimBoxConfig {
    // TCP bind address, and the address UDP answers come from.
    std::string strAddress = "127.0.0.20";
    uint16_t nTcpPort = 8769;         // 0: no TCP server
    std::string strDiscoveryAddress;  // e.g. "127.0.0.255"; empty: no UDP responder
    uint16_t nDiscoveryPort = 8767;
    // The box end of a CSimUsbPair (sim_usb_pair.h): USB reports are served on it. The sim
    // takes ownership when Start succeeds and closes it in Stop. Only Linux has the pair.
    int nUsbFd = -1;
    // After "reset\r": unreachable this long (connections refused, USB and UDP silent).
    unsigned nRestartMs = 3000;
};

// Everything the box answers from. Tests read and change it under Lock().
struct CSimBoxState {
    std::string strType = "ZELVO-B100";
    std::string strSerial = "ZB100-2026-000123";
    int nMode = 1;
    std::string strHostName = "ZELVO-B100";
    std::string strTimeZone;  // last SetTZ argument
    std::string strClock;     // last SetTime argument
    // Body of the GetAllVersion reply.
    std::string strVersions = "OSVER:V1.0.2-P:FS\r\nfsFLASHVER:V1.0.2-P:FS\r\n";
    std::map<std::string, std::string> files;  // stored files by box path/name ("setup.xml", ...)
    std::map<std::string, std::string> uploadPasswords;  // name -> password an upload must give
    std::set<std::string> uploadForbidden;               // uploads of these names get status 2
    std::set<std::string> firmwareNames = {"update", "fsFLASH"};  // downloads that are firmware
    // Answers after the data of a download, 30 ms apart; empty: "okok!\r" twice, then "okokok!".
    std::vector<std::string> downloadAnswers;
    bool bDownloadReady = true;       // "OK\r" before the header of a download
    bool bUploadMd5UpperCase = false;  // the upload header's MD5 text in capitals
    // Downloads are taken in and acknowledged, but neither checked nor kept (measurements).
    bool bDiscardDownloads = false;
    // Box-side names of the firmware images received, in order (the data are in files).
    std::vector<std::string> firmwareImages;
    // Replies to TestNetworkJson / TestNetwork ("" = answer "ERROR\r").
    std::string strNetworkJson =
        "{\"conNetType\":0,\"pingTime\":\"12.5/13.0/14.1\",\"ethEnable\":1,"
        "\"ethIp\":\"192.168.1.20\",\"ethMac\":\"00:11:22:33:44:55\",\"wifiEnable\":0,"
        "\"Mob4GEnable\":0,\"Mob2GEnable\":0}";
    std::string strNetworkText = "eth0:0,ip:192.168.1.20\n,ping:12ms\n13ms\n14ms\n;";
    std::vector<std::string> deletedFiles;  // DeleteFile arguments, in order
    bool bStopped = false;                  // "TerminateAll" since the last restart
    int nLightCount = 0;
    int nRestartCount = 0;
};

enum class SimFault {
    kNone,
    kNoAnswer,       // the command is recorded and otherwise ignored
    kError,          // the command is answered "ERROR\r" and has no effect
    kSlow,           // every reply message is held back nParam ms
    kSplit,          // every reply message goes out in pieces of nParam bytes (0: 1), 20 ms apart
    kShortData,      // upload: only nParam data bytes (0: half) are sent, then nothing more;
                     // download: the box answers "okok!\r" twice, then "timeout", keeps nothing
    kCloseMidReply,  // nParam bytes (0: half) of the first reply message, then the link closes
    kCloseMidTransfer,  // the link closes after nParam data bytes (0: half) of a transfer
};

struct CSimBoxImpl;

class CSimBox {
  public:
    CSimBox();
    CSimBox(const CSimBox&) = delete;
    CSimBox& operator=(const CSimBox&) = delete;
    ~CSimBox();  // stops

    // False when an address is not a loopback address (127.0.0.0/8), a socket cannot be bound
    // (e.g. address in use), a USB end is given where the sim has no USB side, or the sim
    // already runs; nothing is left open then.
    bool Start(const CSimBoxConfig& config);
    void Stop();

    // Replaces the answer to commands that begin with strPrefix (e.g. "GetHMIType"); the command's
    // own handling does not run. A prefix that is one bare word matches that command word only
    // ("TestNetwork" does not match "TestNetworkJson\r\n"); the longest matching prefix wins. The
    // chunks are sent in order, nGapMs apart (several chunks = a split answer); over USB each
    // chunk is its own report(s). An empty vector = no answer at all.
    void SetReply(const std::string& strPrefix, std::vector<std::string> chunks,
                  unsigned nGapMs = 0);
    // Removes every scripted reply and every fault.
    void ClearReplies();
    // nParam: delay ms or bytes, as SimFault says. kNone removes the fault of that prefix.
    void SetFault(const std::string& strPrefix, SimFault fault, unsigned nParam = 0);

    // Every byte the box took in (the first 16 MiB), in order: TCP bytes as they arrived; of each USB report the
    // bytes that counted (a command through its line end, transfer bytes up to the size given).
    std::string Received() const;
    std::vector<std::string> Commands() const;    // each command line with its line end, in order
    std::vector<std::string> UsbReports() const;  // every USB report as received (1025 bytes each)
    std::vector<std::string> Datagrams() const;   // every discovery datagram received
    void ClearRecord();
    // Waits until at least n commands were received; false after nTimeoutMs.
    bool WaitForCommands(size_t n, unsigned nTimeoutMs) const;

    std::unique_lock<std::mutex> Lock();
    CSimBoxState& State();  // read or change only while holding Lock()

    uint16_t TcpPort() const;  // the configured TCP port; 0 when there is no TCP server
    bool IsRestarting() const;

  private:
    std::unique_ptr<CSimBoxImpl> m_impl;
};

// Starts box on the first free address 127.0.<nThird>.<20..250> (TCP port config.nTcpPort), so
// that tests running in parallel do not collide. Returns the address used, "" on failure.
std::string StartOnFreeLoopbackAddress(CSimBox& box, CSimBoxConfig config, int nThird);

// True for a dotted IPv4 address inside 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& strAddress);

// nSize bytes from a fixed pseudo-random sequence, the same on every run.
std::string SimPatternBytes(size_t nSize);
// MD5 of the bytes as 32 lowercase hexadecimal characters.
std::string SimMd5Hex(const std::string& strData);
// The 44-byte transfer header for these bytes: length 44, MD5 text, reserved 0, size
// (little-endian).
std::string SimTransferHeader(const std::string& strData);
