// What the box sends during a transfer: the input is the link's receives (fields split at
// 0x1F; an empty field is an empty receive). The acknowledgement waits must follow their rules,
// the header must never read past its fields, and an upload must either write exactly the data
// its header announced and digested, or leave no file behind.
#include <string>

#include "box/file_transfer.h"
#include "package/md5.h"
#include "platform/file_system.h"
#include "tests/fakes/recording_report.h"
#include "tests/fakes/scripted_box_link.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxReceives = 24;
const CBoxTiming kNoPauses{0, 0, 0};

std::deque<std::string> Receives(std::string_view text) {
    std::deque<std::string> receives;
    for (std::string_view field : SplitRecords(text, kFuzzUnitSep, kMaxReceives)) {
        receives.emplace_back(field);
    }
    return receives;
}

// The acknowledgement rules, receive by receive: the text is the receive cut to the asked
// length and at its first NUL.
bool ModelAck(std::deque<std::string>& receives) {
    int nFailures = 0;
    bool bError = false;
    while (nFailures < 10) {
        if (receives.empty()) return false;  // the script is used up: every receive fails
        const std::string text = receives.front().substr(0, 6);
        receives.pop_front();
        const std::string cut = text.substr(0, text.find('\0'));
        if (text.empty()) {
            ++nFailures;
        } else if (cut == "okok!\r") {
            return true;
        } else if (cut == "ERROR\r") {
            if (bError) return false;
            bError = true;
        }
    }
    return false;
}

void CheckAcknowledgements(const std::deque<std::string>& receives) {
    CScriptedBoxLink link;
    link.receives = receives;
    CBoxChannel channel(kNoPauses);
    channel.SetActiveLink(&link);
    std::deque<std::string> model = receives;
    const bool bExpected = ModelAck(model);
    if (WaitTransferAck(channel) != bExpected) ReportViolation("acknowledgement result");
    if (link.receives.size() != model.size()) ReportViolation("acknowledgement reads");
}

void CheckHeader(const std::string& first) {
    TransferHeader header;
    if (!DecodeTransferHeader(first.data(), first.size(), &header)) return;
    if (header.strMd5.size() > 32 || header.strMd5.find('\0') != std::string::npos) {
        ReportViolation("MD5 text escapes its field", "", header.strMd5);
    }
}

void CheckUpload(const std::deque<std::string>& receives) {
    CScriptedBoxLink link;
    link.receives = receives;
    CBoxChannel channel(kNoPauses);
    channel.SetActiveLink(&link);
    CRecordingReport report;
    const std::string strPath = platform::JoinPath(ScratchDirectory(), "upload");
    platform::RemoveFile(strPath);
    const UploadOutcome eOutcome = UploadFileFromBox(channel, report, "setup.xml", "", strPath);
    const bool bExists = platform::FileExists(strPath);
    if (eOutcome != UploadOutcome::kSuccess) {
        if (bExists) ReportViolation("a failed upload left its file");
        return;
    }
    std::string strMd5;
    if (!bExists || Md5FileHex(strPath, &strMd5) != 32) ReportViolation("no file after success");
    // The header is the first 44 bytes after the status; success means its digest matched.
    std::string rest;
    for (size_t i = 1; i < receives.size(); ++i) rest += receives[i];
    TransferHeader header;
    if (!DecodeTransferHeader(rest.data(), rest.size(), &header)) return;  // split receives
    if (header.strMd5 != strMd5) ReportViolation("digest mismatch accepted", header.strMd5, strMd5);
    uint64_t nSize = 0;
    platform::GetFileSize(strPath, &nSize);
    if (nSize != header.nFileSize) ReportViolation("file size differs from the header");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::deque<std::string> receives = Receives(AsText(data, size));
    CheckAcknowledgements(receives);
    if (!receives.empty()) CheckHeader(receives.front());
    CheckUpload(receives);
    return 0;
}
