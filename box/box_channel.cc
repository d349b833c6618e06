#include "box/box_channel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/thread_util.h"

namespace {

constexpr std::string_view kErrorReply = "ERROR\r";
constexpr int kReplyAttempts = 5;
constexpr int kLengthAttempts = 2;
constexpr size_t kLengthFieldSize = 4;

}  // namespace

bool BeginsWithError(std::string_view text) { return text.substr(0, 6) == kErrorReply; }

bool IsAnswer(std::string_view reply) { return !reply.empty() && reply != kErrorReply; }

bool CBoxChannel::Drain() { return m_pActiveLink->Drain(0); }

void CBoxChannel::Pause() { platform::SleepMs(m_timing.nCommandPauseMs); }

bool CBoxChannel::ReceiveReply(CReplyBuffer* pReply) {
    const size_t nAsk = std::min(pReply->Size(), kMaxReceive);
    for (int i = 0; i < kReplyAttempts && pReply->Data()[0] == '\0'; ++i) {
        // An attempt that brought only a leading NUL must not leave its tail behind a shorter
        // reply that follows.
        pReply->Clear();
        size_t nCount = 0;
        m_pActiveLink->Receive(pReply->Data(), nAsk, &nCount);
    }
    return IsAnswer(pReply->Text());
}

bool CBoxChannel::SendBoxCommand(std::string_view command, CReplyBuffer* pReply) {
    if (m_pActiveLink == nullptr) return false;
    Drain();
    size_t nSent = 0;
    if (!m_pActiveLink->Send(command.data(), command.size(), &nSent)) return false;
    const bool bResult = pReply == nullptr || ReceiveReply(pReply);
    Drain();
    Pause();
    return bResult;
}

bool CBoxChannel::QueryAllVersions(CReplyBuffer* pReply) {
    if (m_pActiveLink == nullptr) return false;
    constexpr std::string_view kCommand = "GetAllVersion\r";
    Drain();
    size_t nCount = 0;
    m_pActiveLink->Send(kCommand.data(), kCommand.size(), &nCount);
    char szLength[kLengthFieldSize + 1] = {};  // read as terminated 4-character text
    for (int i = 0; i < kLengthAttempts && szLength[0] == '\0'; ++i) {
        std::memset(szLength, 0, sizeof(szLength));  // no digits left over from the last try
        m_pActiveLink->Receive(szLength, kLengthFieldSize, &nCount);
    }
    const size_t nBody = static_cast<size_t>(std::max(0, std::atoi(szLength)));
    const size_t nWanted = std::min(nBody, pReply->Size());
    size_t nRead = 0;
    while (nRead < nWanted) {
        nCount = 0;
        const size_t nAsk = std::min(nWanted - nRead, kMaxReceive);
        m_pActiveLink->Receive(pReply->Data() + nRead, nAsk, &nCount);
        if (nCount == 0) break;
        nRead += std::min(nCount, nAsk);
    }
    Drain();
    const std::string body = pReply->Text();
    return !body.empty() && !BeginsWithError(body);
}
