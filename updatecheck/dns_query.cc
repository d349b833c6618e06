#include "updatecheck/dns_query.h"

#include <chrono>
#include <cstdio>

#include "platform/net_socket.h"

namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxNameBytes = 255;    // a name on the wire, length bytes included
constexpr size_t kMaxHostText = 253;     // the same name written as text
constexpr size_t kMaxLabel = 63;
constexpr int kMaxPointerHops = 128;     // more than a name of 255 bytes can need
constexpr size_t kRecordFixedSize = 10;  // type, class, TTL, data length
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
constexpr uint16_t kClassIn = 1;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void AppendU16(uint16_t nValue, std::vector<uint8_t>* pOut) {
    pOut->push_back(static_cast<uint8_t>(nValue >> 8));
    pOut->push_back(static_cast<uint8_t>(nValue & 0xFF));
}

// Reads the name at *pnPos as labels joined by '.', following compression pointers. On
// success *pnPos is just after the name as it stands at that place (after the first pointer,
// when there is one). False when the name leaves the message, uses a reserved label kind,
// grows beyond 255 bytes or follows too many pointers (a loop).
bool ReadName(const uint8_t* pMessage, size_t nLength, size_t* pnPos, std::string* pName) {
    pName->clear();
    size_t nPos = *pnPos;
    size_t nAfter = 0;  // where the name ends in place; set by the first pointer or the end
    int nHops = 0;
    size_t nWireBytes = 1;  // the closing zero byte
    while (nPos < nLength) {
        const uint8_t nByte = pMessage[nPos];
        if (nByte == 0) {
            *pnPos = nHops > 0 ? nAfter : nPos + 1;
            return true;
        }
        if ((nByte & 0xC0) == 0xC0) {
            if (nPos + 1 >= nLength || ++nHops > kMaxPointerHops) return false;
            if (nHops == 1) nAfter = nPos + 2;
            nPos = static_cast<size_t>(((nByte & 0x3F) << 8) | pMessage[nPos + 1]);
            continue;
        }
        if ((nByte & 0xC0) != 0 || nPos + 1 + nByte > nLength) return false;
        nWireBytes += 1u + nByte;
        if (nWireBytes > kMaxNameBytes) return false;
        if (!pName->empty()) pName->push_back('.');
        pName->append(reinterpret_cast<const char*>(pMessage + nPos + 1), nByte);
        nPos += 1u + nByte;
    }
    return false;
}

std::string DottedAddress(const uint8_t* p) {
    char sz[16];
    std::snprintf(sz, sizeof(sz), "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
    return sz;
}

// The walk over the answer records, with the name the A records must be owned by.
struct CAnswerWalk {
    const uint8_t* pMessage;
    size_t nLength;
    size_t nPos;
    std::string strTarget;
    std::vector<std::string>* pAddresses;
};

// Reads one answer record at walk.nPos and takes what it gives: 0, or an EDnsRecordError.
int DecodeAnswerRecord(CAnswerWalk& walk) {
    std::string strOwner;
    if (!ReadName(walk.pMessage, walk.nLength, &walk.nPos, &strOwner)) return kDnsRecordOwner;
    if (walk.nLength - walk.nPos < kRecordFixedSize) return kDnsRecordTruncated;
    const uint8_t* pFixed = walk.pMessage + walk.nPos;
    const uint16_t nType = ReadU16(pFixed);
    const size_t nDataLength = ReadU16(pFixed + 8);
    const size_t nData = walk.nPos + kRecordFixedSize;
    if (walk.nLength - nData < nDataLength) return kDnsRecordTruncated;
    walk.nPos = nData + nDataLength;
    const bool bOwned = strOwner == walk.strTarget;
    if (nType == kTypeA) {
        if (nDataLength != 4) return kDnsRecordAddressSize;
        if (bOwned) walk.pAddresses->push_back(DottedAddress(walk.pMessage + nData));
    } else if (nType == kTypeCname) {
        // The alias must start inside the record's data; its pointers may lead anywhere.
        size_t nNamePos = nData;
        std::string strAlias;
        if (nDataLength == 0 || !ReadName(walk.pMessage, walk.nLength, &nNamePos, &strAlias) ||
            nNamePos > walk.nPos) {
            return kDnsRecordAlias;
        }
        if (bOwned) walk.strTarget = strAlias;
    }
    return 0;
}

// One attempt of the exchange: the number of reply bytes, or not more than 0.
long ExchangeOnce(platform::SocketHandle s, const std::string& strResolver, uint16_t nPort,
                  const std::vector<uint8_t>& query, unsigned nTimeoutMs,
                  std::vector<uint8_t>* pBuffer) {
    if (platform::WaitWritable(s, nTimeoutMs) != 1 ||
        !platform::SendDatagram(s, strResolver, nPort, query.data(), query.size()) ||
        platform::WaitReadable(s, nTimeoutMs) != 1) {
        return -1;
    }
    std::string strSender;
    return platform::ReceiveDatagram(s, pBuffer->data(), pBuffer->size(), &strSender);
}

}  // namespace

bool BuildDnsQuery(const std::string& strHost, uint16_t nId, std::vector<uint8_t>* pQuery) {
    if (strHost.size() > kMaxHostText) return false;
    std::vector<uint8_t> query;
    for (uint16_t nField : {nId, kDnsQueryFlags, uint16_t{1}, uint16_t{0}, uint16_t{0},
                            uint16_t{0}}) {
        AppendU16(nField, &query);
    }
    size_t nStart = 0;
    for (;;) {
        const size_t nDot = strHost.find('.', nStart);
        const size_t nEnd = nDot == std::string::npos ? strHost.size() : nDot;
        const size_t nLabel = nEnd - nStart;
        if (nLabel == 0 || nLabel > kMaxLabel) return false;
        query.push_back(static_cast<uint8_t>(nLabel));
        query.insert(query.end(), strHost.begin() + static_cast<long>(nStart),
                     strHost.begin() + static_cast<long>(nEnd));
        if (nDot == std::string::npos) break;
        nStart = nDot + 1;
    }
    query.push_back(0);
    AppendU16(kTypeA, &query);
    AppendU16(kClassIn, &query);
    *pQuery = std::move(query);
    return true;
}

uint16_t NewDnsQueryId() {
    const auto nTicks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<uint16_t>(nTicks & 0xFFFF);
}

int ExchangeDnsQuery(const std::string& strResolver, uint16_t nPort,
                     const std::vector<uint8_t>& query, unsigned nTimeoutMs,
                     std::vector<uint8_t>* pReply) {
    if (nTimeoutMs < 1) nTimeoutMs = kDnsDefaultTimeoutMs;
    const platform::SocketHandle s = platform::OpenQuerySocket();
    if (s == platform::kInvalidSocket) return -1;
    std::vector<uint8_t> buffer(kDnsMaxReply);
    long nReceived = 0;
    for (int i = 0; i < kDnsAttempts && nReceived <= 0; ++i) {
        nReceived = ExchangeOnce(s, strResolver, nPort, query, nTimeoutMs, &buffer);
    }
    platform::CloseSocket(s);
    if (nReceived <= 0) return -2;
    buffer.resize(static_cast<size_t>(nReceived));
    *pReply = std::move(buffer);
    return 0;
}

int DecodeDnsReply(const uint8_t* pMessage, size_t nLength, const std::string& strHost,
                   std::vector<std::string>* pAddresses, int* pnRecordError) {
    int nRecordError = 0;
    if (pnRecordError == nullptr) pnRecordError = &nRecordError;
    *pnRecordError = 0;
    pAddresses->clear();
    if (nLength < kHeaderSize) return -1;
    CAnswerWalk walk{pMessage, nLength, kHeaderSize, strHost, pAddresses};
    const unsigned nQuestions = ReadU16(pMessage + 4);
    const unsigned nAnswers = ReadU16(pMessage + 6);
    std::string strIgnored;
    for (unsigned i = 0; i < nQuestions; ++i) {
        if (!ReadName(pMessage, nLength, &walk.nPos, &strIgnored) || nLength - walk.nPos < 4) {
            *pnRecordError = kDnsRecordTruncated;
            return -1;
        }
        walk.nPos += 4;
    }
    for (unsigned i = 0; i < nAnswers; ++i) {
        *pnRecordError = DecodeAnswerRecord(walk);
        if (*pnRecordError != 0) {
            pAddresses->clear();  // no part of a reply that cannot be read is used
            return -1;
        }
    }
    return pAddresses->empty() ? -2 : 0;
}

int QueryHostAddresses(const std::string& strResolver, const std::string& strHost,
                       std::vector<std::string>* pAddresses, unsigned nTimeoutMs,
                       uint16_t nPort) {
    if (strResolver.empty() || strHost.empty()) return -1;
    std::vector<uint8_t> query;
    if (!BuildDnsQuery(strHost, NewDnsQueryId(), &query)) return -3;
    std::vector<uint8_t> reply;
    const int nExchange = ExchangeDnsQuery(strResolver, nPort, query, nTimeoutMs, &reply);
    if (nExchange != 0) {
        std::printf("udp query error %d\n", nExchange);
        return -4;
    }
    int nRecordError = 0;
    const int nDecode = DecodeDnsReply(reply.data(), reply.size(), strHost, pAddresses,
                                       &nRecordError);
    if (nDecode == -1 && reply.size() < kHeaderSize) {
        std::printf("nMessageSize = %d\n", static_cast<int>(reply.size()));
    } else if (nDecode == -1) {
        std::printf("decodeAnswerRecord error %d\n", nRecordError);
    }
    return nDecode == 0 ? 0 : -5;
}
