// Which box is on the link: its type, serial text ("machine code") and mode, the entry of its
// type in the box type list, and the operations that use the same commands.
#pragma once

#include <string>

#include "box/box_channel.h"
#include "support/operation_report.h"

class XmlDocument;

struct CBoxIdentity {
    bool bIdentified = false;
    bool bExchangeResult = false;  // the type query answered and then the serial exchange
    std::string strHmiType;        // empty when not identified
    std::string strBoxSN;
    int nBoxMode = -1;
};

// What the box type list says about a type.
struct CBoxTypeRecord {
    unsigned nBoxFunctions = 0;  // bit 0 Ethernet, bit 1 Wi-Fi, bit 2 4G
    std::string strTypeSerialNo;
    std::string strTypeKernel;
};

inline constexpr const char* kBoxTypeFile = "BOXType.hmi";

// Sends "GetHMIType\r", "GetRmtSN\r\n" and "GetBoxMode\r\n" and checks the replies. When the type
// query fails the mode keeps nPreviousMode.
CBoxIdentity IdentifyBox(CBoxChannel& channel, int nPreviousMode);

// Looks the type up among BOXSet/box in the box type list: the first entry whose Type equals
// it. The function bits become 0 first; the texts keep their values when nothing matches.
// True when an entry was found.
bool LookupBoxType(XmlDocument& boxTypes, const std::string& strHmiType, CBoxTypeRecord* pRecord);

// Command 4: the serial text to the clipboard and to the page. Returns the serial reply
// (empty when the query failed).
std::string CopyMachineCode(CBoxChannel& channel, IOperationReport& report);

// Command 16: "SetBoxMode %d\r\n" with its own 3-byte exchange, then a restart. True when the
// box answered "OK\r".
bool SetBoxMode(CBoxChannel& channel, IOperationReport& report, int nBoxMode);
