// The LAN link: one TCP connection to the box's command port.
#pragma once

#include <string>

#include "box/box_link.h"
#include "platform/net_socket.h"

inline constexpr int kBoxCommandPort = 8769;

struct CTcpLinkTiming {
    unsigned nConnectMs = 100;     // the connection must be made within this time
    unsigned nTransferMs = 10000;  // receive and send time-outs once connected
    unsigned nDrainMs = 20;        // wait for pending input before discarding it
};

class BoxTcpLink final : public BoxLink {
public:
    explicit BoxTcpLink(CTcpLinkTiming timing = {}) : m_timing(timing) {}
    ~BoxTcpLink() override { Close(); }
    BoxTcpLink(const BoxTcpLink&) = delete;
    BoxTcpLink& operator=(const BoxTcpLink&) = delete;

    // Connects to the box. An empty address fails and leaves the current socket alone;
    // otherwise the current socket is closed first.
    bool Open(int nPort, const std::string& strAddress);
    void Close();
    bool IsOpen() const { return m_boxSocket != platform::kInvalidSocket; }

    bool Send(const char* pData, size_t nLength, size_t* pnCount) override;
    bool Receive(char* pBuffer, size_t nLength, size_t* pnCount) override;
    bool Drain(int nFlag) override;

private:
    CTcpLinkTiming m_timing;
    platform::SocketHandle m_boxSocket = platform::kInvalidSocket;
};
