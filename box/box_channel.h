// The command exchange with the box over the active link: one command, one reply, as every box
// operation uses it, and the length-prefixed version query.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "box/box_link.h"

inline constexpr size_t kReplySize = 1024;       // reply buffers of the box operations
inline constexpr size_t kLargeReplySize = 4096;  // transfers and the version query
inline constexpr size_t kMaxReceive = 1024;      // a receive never asks for more

// A zeroed reply buffer of a fixed size with one more byte that always stays 0, so that a
// reply that fills the buffer is still read as terminated text.
class CReplyBuffer {
public:
    explicit CReplyBuffer(size_t nSize = kReplySize) : m_bytes(nSize + 1, '\0') {}
    char* Data() { return m_bytes.data(); }
    const char* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_bytes.size() - 1; }
    // The reply up to its first NUL.
    std::string Text() const { return std::string(m_bytes.data()); }
    void Clear() { std::fill(m_bytes.begin(), m_bytes.end(), '\0'); }

private:
    std::vector<char> m_bytes;
};

struct CBoxTiming {
    unsigned nCommandPauseMs = 300;  // after every command exchange
    unsigned nTransferPauseMs = 100;  // between the ready and acknowledgement reads of a transfer
    unsigned nRestartWaitMs = 2000;   // after a restart that ends a write to the box
};

// How a reply decides the exchange: "ERROR\r" exactly, or nothing at all, is a failure; any
// other text (also "ERROR" alone or "ERROR\r" with more after it) is an answer.
bool IsAnswer(std::string_view reply);
// True when the text begins with "ERROR\r".
bool BeginsWithError(std::string_view text);

class CBoxChannel {
public:
    explicit CBoxChannel(CBoxTiming timing = {}) : m_timing(timing) {}

    // The link the next exchanges use (not owned); null when none is installed.
    void SetActiveLink(BoxLink* pLink) { m_pActiveLink = pLink; }
    BoxLink* GetActiveLink() const { return m_pActiveLink; }
    const CBoxTiming& GetTiming() const { return m_timing; }

    // Sends the command (with its own terminator) and, given a buffer, reads the reply into
    // it. False when the send failed or the reply is no answer (see IsAnswer). Every exchange
    // ends with a fixed pause.
    bool SendBoxCommand(std::string_view command, CReplyBuffer* pReply);
    // "GetAllVersion\r": a 4-digit decimal length, then the body into pReply (4096 bytes).
    bool QueryAllVersions(CReplyBuffer* pReply);

private:
    bool Drain();
    void Pause();
    bool ReceiveReply(CReplyBuffer* pReply);

    BoxLink* m_pActiveLink = nullptr;
    CBoxTiming m_timing;
};
