// File transfers between program and box: "Download NAME\r" sends a file to the box,
// "Upload NAME PASSWORD\r" fetches one. Both carry the file after the 44-byte transfer header.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "box/file_transfer.h"
#include "package/md5.h"
#include "tools/box_sim/sim_commands.h"

namespace {

constexpr size_t kHeaderSize = 44;
constexpr size_t kMd5Offset = 4;
constexpr size_t kMd5Length = 32;
constexpr const char* kAck = "okok!\r";
constexpr const char* kDone = "okokok!";
constexpr const char* kError = "ERROR\r";
constexpr int kStatusGoOn = 0;
constexpr int kStatusWrongPassword = 1;
constexpr int kStatusNotAllowed = 2;

TransferHeader ParseHeader(const std::string& header) {
    TransferHeader fields;
    DecodeTransferHeader(header.data(), header.size(), &fields);
    return fields;
}

// A transfer whose bytes stopped coming ends as the program expects a failed one to end.
void GiveUp(CSimExchange& exchange) {
    if (exchange.IsOpen()) exchange.Reply("timeout");
}

constexpr unsigned kAnswerGapMs = 30;

void ReplyAll(CSimExchange& exchange, std::initializer_list<const char*> messages) {
    for (const char* szMessage : messages) {
        if (!exchange.Reply(szMessage)) return;
    }
}

// Scripted answers go out apart, so that each arrives as its own read.
void ReplyApart(CSimExchange& exchange, const std::vector<std::string>& answers) {
    for (const std::string& answer : answers) {
        if (!exchange.Reply(answer)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(kAnswerGapMs));
    }
}

template <typename T>
T ReadState(CSimExchange& exchange, T CSimBoxState::*pField) {
    auto lock = exchange.Lock();
    return exchange.State().*pField;
}

void StoreFile(CSimExchange& exchange, const std::string& strName, std::string data) {
    auto lock = exchange.Lock();
    CSimBoxState& state = exchange.State();
    if (state.firmwareNames.count(strName) != 0) state.firmwareImages.push_back(strName);
    state.files[strName] = std::move(data);
}

// Status for an upload; a name the box does not have is "not allowed" (2), as a box cannot send it.
int UploadStatus(const CSimBoxState& state, const std::string& strName,
                 const std::string& strPassword) {
    if (state.uploadForbidden.count(strName) != 0 || state.files.count(strName) == 0) {
        return kStatusNotAllowed;
    }
    auto password = state.uploadPasswords.find(strName);
    if (password != state.uploadPasswords.end() && password->second != strPassword) {
        return kStatusWrongPassword;
    }
    return kStatusGoOn;
}

}  // namespace

std::string SimPatternBytes(size_t nSize) {
    std::string data(nSize, '\0');
    uint32_t nState = 12345;
    for (char& c : data) {
        nState = nState * 1103515245u + 12345u;
        c = static_cast<char>(nState >> 24);
    }
    return data;
}

std::string SimMd5Hex(const std::string& strData) {
    uint8_t digest[kMd5Size];
    Md5(strData.data(), strData.size(), digest);
    std::string strHex;
    Md5Hex(digest, &strHex);
    return strHex;
}

std::string SimTransferHeader(const std::string& strData) {
    const auto bytes = EncodeTransferHeader(
        TransferHeader{kHeaderSize, SimMd5Hex(strData), static_cast<uint32_t>(strData.size())});
    return std::string(bytes.begin(), bytes.end());
}

// Takes the data in pieces into one reused buffer.
bool ReadAndDiscard(CSimExchange& exchange, size_t nSize) {
    constexpr size_t kPiece = 1 << 20;
    std::string piece;
    for (size_t nDone = 0; nDone < nSize; nDone += piece.size()) {
        if (!exchange.ReadData(std::min(kPiece, nSize - nDone), &piece)) return false;
    }
    return true;
}

// "OK\r", header, data; then two acknowledgements and the end mark. A digest that does not match
// the data is answered with two "ERROR\r" (the program gives up at the second) and nothing is kept.
void HandleDownload(CSimExchange& exchange) {
    const std::string strName = exchange.Argument();
    std::string header, data;
    if (ReadState(exchange, &CSimBoxState::bDownloadReady) && !exchange.Reply("OK\r")) return;
    if (!exchange.ReadData(kHeaderSize, &header)) return GiveUp(exchange);
    TransferHeader fields = ParseHeader(header);
    if (ReadState(exchange, &CSimBoxState::bDiscardDownloads)) {
        if (!ReadAndDiscard(exchange, fields.nFileSize)) return GiveUp(exchange);
        return ReplyAll(exchange, {kAck, kAck, kDone});
    }
    if (exchange.Fault() == SimFault::kCloseMidTransfer) {
        exchange.ReadData(std::min<size_t>(exchange.FaultBytes(fields.nFileSize), fields.nFileSize), &data);
        return exchange.Disconnect();
    }
    if (!exchange.ReadData(fields.nFileSize, &data)) return GiveUp(exchange);
    if (exchange.Fault() == SimFault::kShortData)
        return ReplyAll(exchange, {kAck, kAck, "timeout"});
    if (!fields.strMd5.empty() && fields.strMd5 != SimMd5Hex(data)) {
        return ReplyAll(exchange, {kError, kError});
    }
    const std::vector<std::string> answers = ReadState(exchange, &CSimBoxState::downloadAnswers);
    if (!answers.empty()) return ReplyApart(exchange, answers);
    StoreFile(exchange, strName, std::move(data));
    ReplyAll(exchange, {kAck, kAck, kDone});
}

// "UpLoadStat:%d"; with status 0 the header and the file follow.
void HandleUpload(CSimExchange& exchange) {
    const std::string& strArgument = exchange.Argument();
    size_t nBlank = strArgument.find(' ');
    std::string strName = strArgument.substr(0, nBlank);
    std::string strPassword = nBlank == std::string::npos ? "" : strArgument.substr(nBlank + 1);
    int nStatus;
    std::string data;
    {
        auto lock = exchange.Lock();
        nStatus = UploadStatus(exchange.State(), strName, strPassword);
        if (nStatus == kStatusGoOn) data = exchange.State().files[strName];
    }
    if (!exchange.Reply("UpLoadStat:" + std::to_string(nStatus)) || nStatus != kStatusGoOn) return;
    std::string header = SimTransferHeader(data);
    if (ReadState(exchange, &CSimBoxState::bUploadMd5UpperCase)) {
        for (size_t i = kMd5Offset; i < kMd5Offset + kMd5Length; ++i) header[i] = toupper(header[i]);
    }
    if (!exchange.Reply(header)) return;
    SimFault eFault = exchange.Fault();
    if (eFault != SimFault::kShortData && eFault != SimFault::kCloseMidTransfer) {
        exchange.Reply(data);
        return;
    }
    exchange.Reply(data.substr(0, exchange.FaultBytes(data.size())));
    if (eFault == SimFault::kCloseMidTransfer) exchange.Disconnect();
}
