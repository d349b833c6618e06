#include "tests/updatecheck/fake_servers.h"

#include <cstdlib>

#include "updatecheck/dns_query.h"

CBytes DnsName(const std::string& strDotted) {
    CBytes query;
    BuildDnsQuery(strDotted, 0, &query);  // header, name, type and class
    return CBytes(query.begin() + 12, query.end() - 4);
}

CBytes DnsPointer(uint16_t nOffset) {
    return {static_cast<uint8_t>(0xC0 | (nOffset >> 8)), static_cast<uint8_t>(nOffset & 0xFF)};
}

CBytes DnsReply(CBytes query, const std::vector<CDnsTestRecord>& records) {
    query[2] = 0x81;
    query[3] = 0x80;
    query[7] = static_cast<uint8_t>(records.size());
    for (const CDnsTestRecord& r : records) {
        query.insert(query.end(), r.owner.begin(), r.owner.end());
        const uint8_t fixed[] = {0, static_cast<uint8_t>(r.nType), 0, 1, 0, 0, 0, 60,
                                 static_cast<uint8_t>(r.data.size() >> 8),
                                 static_cast<uint8_t>(r.data.size() & 0xFF)};
        query.insert(query.end(), fixed, fixed + sizeof(fixed));
        query.insert(query.end(), r.data.begin(), r.data.end());
    }
    return query;
}

CFakeResolver::CFakeResolver(std::vector<CDnsTestRecord> records, int nDrop, bool bAnswer)
    : m_records(std::move(records)),
      m_nDrop(nDrop),
      m_bAnswer(bAnswer),
      m_socket(platform::BindUdpSocket("127.0.0.1", 0)),
      m_thread(&CFakeResolver::Serve, this) {}

CFakeResolver::~CFakeResolver() {
    m_bStop = true;
    m_thread.join();
    platform::CloseSocket(m_socket);
}

CBytes CFakeResolver::LastQuery() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastQuery;
}

void CFakeResolver::Serve() {
    CBytes buffer(4096);
    while (!m_bStop) {
        if (platform::WaitReadable(m_socket, 20) != 1) continue;
        std::string strSender;
        uint16_t nSenderPort = 0;
        const long n = platform::ReceiveDatagramFrom(m_socket, buffer.data(), buffer.size(),
                                                     &strSender, &nSenderPort);
        if (n < 12) continue;
        const CBytes query(buffer.begin(), buffer.begin() + n);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lastQuery = query;
        }
        if (++m_nQueries <= m_nDrop || !m_bAnswer) continue;
        const CBytes reply = DnsReply(query, m_records);
        platform::SendDatagram(m_socket, strSender, nSenderPort, reply.data(), reply.size());
    }
}

CFakeUpdateServer::CFakeUpdateServer(const std::string& strAddress, uint16_t nPort,
                                     std::string strReply)
    : m_strReply(std::move(strReply)),
      m_socket(platform::ListenTcp(strAddress, nPort, 4)),
      m_thread(&CFakeUpdateServer::Serve, this) {}

CFakeUpdateServer::~CFakeUpdateServer() {
    platform::ShutdownSocket(m_socket);
    m_thread.join();
    platform::CloseSocket(m_socket);
}

std::string CFakeUpdateServer::LastRequest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strLastRequest;
}

namespace {

// The request is whole once its header has ended and the body its Content-Length names is in.
bool RequestComplete(const std::string& strRequest) {
    const size_t nHeaderEnd = strRequest.find("\r\n\r\n");
    const size_t nLength = strRequest.find("Content-Length:");
    if (nHeaderEnd == std::string::npos || nLength == std::string::npos) return false;
    const size_t nBody = std::strtoul(strRequest.c_str() + nLength + 15, nullptr, 10);
    return strRequest.size() >= nHeaderEnd + 4 + nBody;
}

}  // namespace

void CFakeUpdateServer::Serve() {
    for (;;) {
        const platform::SocketHandle s = platform::AcceptConnection(m_socket);
        if (s == platform::kInvalidSocket) return;
        ++m_nConnections;
        platform::SetSocketTimeouts(s, 5000, 5000);
        std::string strRequest;
        char buffer[1024];
        long n = 0;
        while (!RequestComplete(strRequest) && (n = platform::SocketReceive(s, buffer, 1024)) > 0)
            strRequest.append(buffer, static_cast<size_t>(n));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_strLastRequest = strRequest;
        }
        platform::SocketSendAll(s, m_strReply.data(), m_strReply.size());
        platform::CloseSocket(s);
    }
}
