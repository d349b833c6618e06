#include "box/box_identify.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "box/box_control.h"
#include "platform/codepage.h"
#include "support/xml_document.h"

namespace {

// The serial reply must not begin with the whole type reply: a box that echoes the command
// or repeats one answer would otherwise pass as identified.
bool RepliesIdentify(const std::string& type, const std::string& serial, bool bExchange) {
    return !BeginsWithError(type) && !type.empty() && serial.compare(0, type.size(), type) != 0 &&
           !BeginsWithError(serial) && !serial.empty() && bExchange;
}

// The mode in "Mode=%d"; nDefault when the text does not match.
int ParseBoxMode(const std::string& reply, int nDefault) {
    int nMode = nDefault;
    return std::sscanf(reply.c_str(), "Mode=%d", &nMode) == 1 ? nMode : nDefault;
}

// An unsigned decimal number at the start of the text, as the C library reads it; no digits
// give 0.
unsigned ReadUnsigned(const std::string& text) {
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
}

}  // namespace

CBoxIdentity IdentifyBox(CBoxChannel& channel, int nPreviousMode) {
    CReplyBuffer typeReply, serialReply, modeReply;
    CBoxIdentity identity;
    identity.nBoxMode = nPreviousMode;
    bool bResult = channel.SendBoxCommand("GetHMIType\r", &typeReply);
    if (bResult) {
        bResult = channel.SendBoxCommand("GetRmtSN\r\n", &serialReply);
        identity.nBoxMode = -1;
        if (channel.SendBoxCommand("GetBoxMode\r\n", &modeReply)) {
            identity.nBoxMode = ParseBoxMode(modeReply.Text(), -1);
        }
    }
    identity.bExchangeResult = bResult;
    identity.bIdentified = RepliesIdentify(typeReply.Text(), serialReply.Text(), bResult);
    if (identity.bIdentified) identity.strHmiType = platform::AnsiToUtf8(typeReply.Text());
    identity.strBoxSN = platform::AnsiToUtf8(serialReply.Text());
    return identity;
}

bool LookupBoxType(XmlDocument& boxTypes, const std::string& strHmiType,
                   CBoxTypeRecord* pRecord) {
    pRecord->nBoxFunctions = 0;
    boxTypes.Rewind();
    if (!boxTypes.FindSibling("BOXSet")) return false;
    while (boxTypes.FindChild("box")) {
        if (boxTypes.GetChildAttribute("Type") != strHmiType) continue;
        pRecord->strTypeSerialNo = boxTypes.GetChildAttribute("SerialNo");
        pRecord->strTypeKernel = boxTypes.GetChildAttribute("Kernel");
        pRecord->nBoxFunctions = ReadUnsigned(boxTypes.GetChildAttribute("func"));
        return true;
    }
    return false;
}

std::string CopyMachineCode(CBoxChannel& channel, IOperationReport& report) {
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    CReplyBuffer reply;
    if (!channel.SendBoxCommand("GetRmtSN\r\n", &reply)) {
        report.RunPageScript("get_maccode_failed", kScriptLocalizedLine);
        return "";
    }
    // The clipboard gets the reply as text of this program (the 8-bit reply decoded); a
    // clipboard that cannot be opened is not an error of the box, so the serial is still
    // reported.
    const std::string serial = platform::AnsiToUtf8(reply.Text());
    report.SetClipboardText(serial);
    report.RunPageScript("get_maccode_success", kScriptLocalizedLine);
    report.RunPageScript(serial, kScriptRawLine);
    return serial;
}

bool SetBoxMode(CBoxChannel& channel, IOperationReport& report, int nBoxMode) {
    report.RunPageScript(kSeparatorLine, kScriptRawLine);
    BoxLink* pLink = channel.GetActiveLink();
    CReplyBuffer reply;
    if (pLink != nullptr) {
        const std::string command = "SetBoxMode " + std::to_string(nBoxMode) + "\r\n";
        size_t nCount = 0;
        pLink->Drain(0);
        pLink->Send(command.data(), command.size(), &nCount);
        pLink->Receive(reply.Data(), 3, &nCount);
        pLink->Drain(0);
    }
    const bool bAccepted = std::memcmp(reply.Data(), "OK\r", 3) == 0;
    report.RunPageScript(bAccepted ? "set_mode_success" : "set_mode_failed",
                         kScriptLocalizedLine);
    RestartBox(channel, report, &reply, true);
    return bAccepted;
}
