#include "box/file_transfer.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "package/digest_blocks.h"
#include "package/md5.h"
#include "platform/file_system.h"
#include "platform/thread_util.h"

namespace {

constexpr size_t kCommandBufferSize = 512;
constexpr size_t kMd5Offset = 4;
constexpr size_t kMd5TextLength = 32;
constexpr size_t kSizeOffset = 40;
constexpr int kReadyAttempts = 10;
constexpr int kMaxFailedReceives = 10;
constexpr uint64_t kProgressIntervalMs = 250;

void PutLittleEndian32(uint32_t nValue, char* pOut) {
    digest::StoreLe<uint32_t>(reinterpret_cast<uint8_t*>(pOut), nValue);
}

uint32_t GetLittleEndian32(const char* pIn) {
    return digest::LoadLe<uint32_t>(reinterpret_cast<const uint8_t*>(pIn));
}

// Formats a command into the size of the box's command buffer; false when it would not fit,
// since a cut name would address another file on the box.
bool FormatCommand(std::string* pCommand, const char* szFormat, const std::string& strFirst,
                   const std::string& strSecond = {}) {
    char szBuffer[kCommandBufferSize];
    const int n = snprintf(szBuffer, sizeof(szBuffer), szFormat, strFirst.c_str(),
                           strSecond.c_str());
    if (n < 0 || static_cast<size_t>(n) >= sizeof(szBuffer)) return false;
    pCommand->assign(szBuffer, static_cast<size_t>(n));
    return true;
}

bool SendText(BoxLink& link, const std::string& text) {
    size_t nSent = 0;
    return link.Send(text.data(), text.size(), &nSent) && nSent == text.size();
}

// Sends the whole piece, continuing after a partial send; false when a send fails or sends
// nothing.
bool SendAll(BoxLink& link, const char* pData, size_t nLength) {
    while (nLength > 0) {
        size_t nSent = 0;
        if (!link.Send(pData, nLength, &nSent) || nSent == 0) return false;
        pData += nSent;
        nLength -= nSent;
    }
    return true;
}

// Reads until nLength bytes arrived; false when a receive fails or delivers nothing first.
bool ReceiveAll(BoxLink& link, char* pBuffer, size_t nLength) {
    while (nLength > 0) {
        size_t nReceived = 0;
        if (!link.Receive(pBuffer, nLength, &nReceived) || nReceived == 0) return false;
        pBuffer += nReceived;
        nLength -= nReceived;
    }
    return true;
}

// Reports progress when the transfer starts, ends, and at most a few times a second between.
class CProgress {
public:
    CProgress(IOperationReport& report, uint64_t nTotal) : m_report(report), m_nTotal(nTotal) {
        Report(0);
    }
    void Advance(uint64_t nDone) {
        if (nDone < m_nTotal && platform::MonotonicMs() - m_nLastMs < kProgressIntervalMs) return;
        Report(nDone);
    }

private:
    void Report(uint64_t nDone) {
        m_nLastMs = platform::MonotonicMs();
        m_report.ShowProgress(nDone, m_nTotal);
    }

    IOperationReport& m_report;
    uint64_t m_nTotal;
    uint64_t m_nLastMs = 0;
};

// Step 3 of a download: up to ten reads of "OK\r"; the transfer goes on without it.
void WaitReady(BoxLink& link, unsigned nPauseMs) {
    char szReady[kCommandBufferSize] = {};
    for (int i = 0; i < kReadyAttempts; ++i) {
        size_t nReceived = 0;
        link.Receive(szReady, 3, &nReceived);
        if (memcmp(szReady, "OK\r", 3) == 0) return;
        platform::SleepMs(nPauseMs);
    }
}

bool SendFileData(BoxLink& link, IOperationReport& report, platform::CFileStream& file,
                  uint32_t nSize) {
    std::vector<char> chunk(kTransferChunk);
    CProgress progress(report, nSize);
    uint64_t nTotal = 0;
    while (nTotal < nSize) {
        size_t nRead = 0;
        if (!file.Read(chunk.data(), chunk.size(), &nRead) || nRead == 0) break;
        if (!SendAll(link, chunk.data(), nRead)) break;
        nTotal += nRead;
        progress.Advance(nTotal);
    }
    return nTotal == nSize;
}

// Reads a box answer of up to nLength bytes into a cleared buffer.
bool ReceiveAnswer(BoxLink& link, char* pBuffer, size_t nBufferSize, size_t nLength) {
    memset(pBuffer, 0, nBufferSize);
    size_t nReceived = 0;
    return link.Receive(pBuffer, nLength, &nReceived) && nReceived > 0;
}

// Each receive asks for at most what is left of the file and of the chunk; a full chunk (or
// the end of the data) is written in one piece.
bool ReceiveFileData(BoxLink& link, IOperationReport& report, platform::CFileStream& file,
                     uint32_t nSize) {
    std::vector<char> chunk(kTransferChunk);
    CProgress progress(report, nSize);
    uint64_t nTotal = 0;
    while (nTotal < nSize) {
        const size_t nPiece = std::min<uint64_t>(nSize - nTotal, chunk.size());
        if (!ReceiveAll(link, chunk.data(), nPiece) || !file.WriteAll(chunk.data(), nPiece)) {
            return false;
        }
        nTotal += nPiece;
        progress.Advance(nTotal);
    }
    return true;
}

// Room the file may take: the free space of its folder, plus what an older file of that name
// gives back when it is replaced.
bool HasRoomFor(const std::string& strPath, uint64_t nSize) {
    uint64_t nFree = 0, nOld = 0;
    if (!platform::GetFreeSpace(platform::ParentDirectory(strPath), &nFree)) return false;
    platform::GetFileSize(strPath, &nOld);
    return nSize <= nFree + nOld;
}

// Steps 4 to 6 of an upload: the data into the file, then the digest check.
bool ReceiveIntoFile(BoxLink& link, IOperationReport& report, const TransferHeader& header,
                     const std::string& strLocalPath) {
    platform::CFileStream file;
    if (!file.Open(strLocalPath, platform::CFileStream::Mode::kCreateAlways)) return false;
    const bool bReceived = ReceiveFileData(link, report, file, header.nFileSize);
    if (!file.Close() || !bReceived) return false;
    std::string strMd5;
    Md5FileHex(strLocalPath, &strMd5);
    return strMd5 == header.strMd5;
}

}  // namespace

std::array<char, kTransferHeaderSize> EncodeTransferHeader(const TransferHeader& header) {
    std::array<char, kTransferHeaderSize> bytes{};
    PutLittleEndian32(header.nHeaderLength, &bytes[0]);
    memcpy(&bytes[kMd5Offset], header.strMd5.c_str(),
           strnlen(header.strMd5.c_str(), kMd5TextLength));
    PutLittleEndian32(header.nFileSize, &bytes[kSizeOffset]);
    return bytes;
}

bool DecodeTransferHeader(const char* pData, size_t nLength, TransferHeader* pHeader) {
    if (nLength < kTransferHeaderSize) return false;
    pHeader->nHeaderLength = GetLittleEndian32(pData);
    pHeader->strMd5.assign(pData + kMd5Offset, strnlen(pData + kMd5Offset, kMd5TextLength));
    pHeader->nFileSize = GetLittleEndian32(pData + kSizeOffset);
    return true;
}

int ParseUploadStatus(const char* pData, size_t nLength) {
    char szStatus[kCommandBufferSize] = {};
    memcpy(szStatus, pData, std::min(nLength, sizeof(szStatus) - 1));
    int nStatus = 0;
    if (sscanf(szStatus, "UpLoadStat:%d", &nStatus) != 1) nStatus = 0;
    return nStatus;
}

bool WaitTransferAck(CBoxChannel& channel) {
    BoxLink* pLink = channel.GetActiveLink();
    if (pLink == nullptr) return false;
    char szAnswer[kCommandBufferSize];
    int nFailures = 0;
    bool bErrorSeen = false;
    for (;;) {
        platform::SleepMs(channel.GetTiming().nTransferPauseMs);
        if (!ReceiveAnswer(*pLink, szAnswer, sizeof(szAnswer), 6)) {
            if (++nFailures >= kMaxFailedReceives) return false;
            continue;
        }
        if (strcmp(szAnswer, "okok!\r") == 0) return true;
        if (strcmp(szAnswer, "ERROR\r") == 0) {
            if (bErrorSeen) return false;
            bErrorSeen = true;
        }
    }
}

bool WaitTransferEnd(CBoxChannel& channel) {
    BoxLink* pLink = channel.GetActiveLink();
    if (pLink == nullptr) return false;
    char szAnswer[8];
    int nFailures = 0;
    for (;;) {
        if (!ReceiveAnswer(*pLink, szAnswer, sizeof(szAnswer), 7)) {
            if (++nFailures >= kMaxFailedReceives) return false;
            continue;
        }
        if (strcmp(szAnswer, "timeout") == 0) return false;
        if (strcmp(szAnswer, "END") == 0 || strcmp(szAnswer, "okokok!") == 0) return true;
    }
}

bool DownloadFileToBox(CBoxChannel& channel, IOperationReport& report,
                       const std::string& strBoxName, platform::CFileStream& file,
                       const std::string& strMd5) {
    BoxLink* pLink = channel.GetActiveLink();
    uint64_t nFileSize = 0;
    std::string strCommand;
    bool bOk = pLink != nullptr && file.GetSize(&nFileSize) && nFileSize <= UINT32_MAX &&
               FormatCommand(&strCommand, "Download %s\r", strBoxName);
    if (bOk) {
        const uint32_t nSize = static_cast<uint32_t>(nFileSize);
        pLink->Drain(0);
        SendText(*pLink, strCommand);
        WaitReady(*pLink, channel.GetTiming().nTransferPauseMs);
        pLink->Drain(0);
        const auto header = EncodeTransferHeader(TransferHeader{kTransferHeaderSize, strMd5, nSize});
        size_t nSent = 0;
        pLink->Send(header.data(), header.size(), &nSent);
        bOk = (nSize == 0 || SendFileData(*pLink, report, file, nSize)) &&
              WaitTransferAck(channel) && WaitTransferAck(channel) && WaitTransferEnd(channel);
    }
    report.RunPageScript(bOk ? "download_success" : "download_failed", kScriptLocalizedLine);
    if (pLink != nullptr) pLink->Drain(0);
    return bOk;
}

UploadOutcome UploadFileFromBox(CBoxChannel& channel, IOperationReport& report,
                                const std::string& strBoxName, const std::string& strPassword,
                                const std::string& strLocalPath) {
    BoxLink* pLink = channel.GetActiveLink();
    std::string strCommand;
    if (pLink == nullptr || !FormatCommand(&strCommand, "Upload %s %s\r", strBoxName, strPassword) ||
        !SendText(*pLink, strCommand)) {
        return UploadOutcome::kFailed;
    }
    char szStatus[] = "UpLoadStat:0";
    size_t nReceived = 0;
    pLink->Receive(szStatus, sizeof(szStatus) - 1, &nReceived);
    const int nStatus = ParseUploadStatus(szStatus, sizeof(szStatus) - 1);
    if (nStatus == 1) return UploadOutcome::kWrongPassword;
    if (nStatus == 2) return UploadOutcome::kNotAllowed;

    char headerBytes[kTransferHeaderSize];
    TransferHeader header;
    if (!ReceiveAll(*pLink, headerBytes, sizeof(headerBytes)) ||
        !DecodeTransferHeader(headerBytes, sizeof(headerBytes), &header) ||
        !HasRoomFor(strLocalPath, header.nFileSize)) {
        return UploadOutcome::kFailed;
    }
    if (ReceiveIntoFile(*pLink, report, header, strLocalPath)) return UploadOutcome::kSuccess;
    platform::RemoveFile(strLocalPath);
    return UploadOutcome::kFailed;
}
