// Loopback stand-ins for a DNS resolver and the update server, and the pieces of DNS replies
// the tests put together.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net_socket.h"

using CBytes = std::vector<uint8_t>;

CBytes DnsName(const std::string& strDotted);  // labels and the closing zero byte
CBytes DnsPointer(uint16_t nOffset);
struct CDnsTestRecord {
    CBytes owner;
    uint16_t nType;
    CBytes data;
};
// The reply to a query: its header and question with the answer flags and the records.
CBytes DnsReply(CBytes query, const std::vector<CDnsTestRecord>& records);

// A resolver on 127.0.0.1 that lets the first nDrop queries go unanswered, then answers each
// with the records (or never, when bAnswer is false).
class CFakeResolver {
public:
    CFakeResolver(std::vector<CDnsTestRecord> records, int nDrop = 0, bool bAnswer = true);
    ~CFakeResolver();
    uint16_t Port() const { return platform::SocketLocalPort(m_socket); }
    int Queries() const { return m_nQueries; }
    CBytes LastQuery() const;

private:
    void Serve();
    std::vector<CDnsTestRecord> m_records;
    int m_nDrop;
    bool m_bAnswer;
    platform::SocketHandle m_socket;
    std::atomic<int> m_nQueries{0};
    std::atomic<bool> m_bStop{false};
    mutable std::mutex m_mutex;
    CBytes m_lastQuery;
    std::thread m_thread;
};

// An update server on a loopback address: reads each whole request, then sends the reply and
// closes the connection.
class CFakeUpdateServer {
public:
    CFakeUpdateServer(const std::string& strAddress, uint16_t nPort, std::string strReply);
    ~CFakeUpdateServer();
    uint16_t Port() const { return platform::SocketLocalPort(m_socket); }
    int Connections() const { return m_nConnections; }
    std::string LastRequest() const;

private:
    void Serve();
    std::string m_strReply;
    platform::SocketHandle m_socket;
    std::atomic<int> m_nConnections{0};
    mutable std::mutex m_mutex;
    std::string m_strLastRequest;
    std::thread m_thread;
};
