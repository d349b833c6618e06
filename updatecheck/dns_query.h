// Resolving a host name without the system's resolver: one DNS query for its A records, sent
// over UDP to a resolver named by its IPv4 address, and the addresses of the answer, following
// CNAME records. The update check uses it for the update server's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Header flags of the query: only "recursion desired".
inline constexpr uint16_t kDnsQueryFlags = 0x0100;
// Largest reply taken from the resolver.
inline constexpr size_t kDnsMaxReply = 4096;
// The wait for each step of the exchange when the caller gives none (or less than 1 ms).
inline constexpr unsigned kDnsDefaultTimeoutMs = 3000;
inline constexpr int kDnsAttempts = 3;

// The query for the A record of the host: header (identifier, flags, one question), then the
// name as length-prefixed labels split at every '.', a zero byte, type A and class IN. False
// (nothing written) when the name is longer than 253 bytes or has an empty label.
bool BuildDnsQuery(const std::string& strHost, uint16_t nId, std::vector<uint8_t>* pQuery);

// A query identifier: the low 16 bits of a high-resolution clock.
uint16_t NewDnsQueryId();

// Sends the query to the resolver (dotted IPv4, port nPort) from a non-blocking UDP socket:
// up to three attempts, each waiting at most nTimeoutMs for the socket to be writable and
// again for the reply. 0 with the reply bytes, -1 when the socket cannot be prepared, -2 when
// no attempt brought a reply.
int ExchangeDnsQuery(const std::string& strResolver, uint16_t nPort,
                     const std::vector<uint8_t>& query, unsigned nTimeoutMs,
                     std::vector<uint8_t>* pReply);

// Codes of one answer record that cannot be decoded.
enum EDnsRecordError {
    kDnsRecordOwner = -1,       // owner name
    kDnsRecordAddressSize = -2,  // A record whose data is not 4 bytes
    kDnsRecordAlias = -3,       // CNAME target name
    kDnsRecordTruncated = -4,   // fixed fields or data run past the message
};

// Decodes a reply to the query for strHost. The address list is cleared, then receives the
// dotted addresses of the A records whose owner is the current target name, in answer order;
// the target starts as strHost and a CNAME record owned by it moves it to the alias. Questions
// are skipped. Names are read with compression pointers; a name that runs past the message,
// loops or grows beyond 255 bytes cannot be decoded. Nothing outside [pMessage, pMessage +
// nLength) is read. Returns 0; -1 for a message shorter than 12 bytes (*pnRecordError 0) or
// a question or record that cannot be decoded (*pnRecordError its EDnsRecordError, the list
// then empty); -2 when no address was collected. pnRecordError may be null.
int DecodeDnsReply(const uint8_t* pMessage, size_t nLength, const std::string& strHost,
                   std::vector<std::string>* pAddresses, int* pnRecordError = nullptr);

// Resolves the host's IPv4 addresses through the resolver. 0 with at least one address; -1
// when resolver or host is empty; -3 when the query cannot be built; -4 when the exchange
// fails ("udp query error %d" on standard output); -5 when the reply cannot be decoded or holds
// no matching A record ("nMessageSize = %d" or "decodeAnswerRecord error %d").
int QueryHostAddresses(const std::string& strResolver, const std::string& strHost,
                       std::vector<std::string>* pAddresses,
                       unsigned nTimeoutMs = kDnsDefaultTimeoutMs, uint16_t nPort = 53);
