// The box's test of its own network interfaces (page command 5): the box is asked for a JSON
// report first and for the older text report when it does not give one, and the result is
// written to the page as localized labels followed by raw values.
#pragma once

#include <string>
#include <string_view>

#include "box/box_channel.h"
#include "support/operation_report.h"

// The raw line between interface sections.
inline constexpr const char* kNetworkSectionLine = "*****************************";

// Which reply the test got, for callers that keep more than the page lines.
struct CNetworkTestResult {
    bool bAnswered = false;  // one of the two test commands was answered
    std::string strForm;     // "json", "text", or empty when neither was answered
    std::string strReply;    // the reply as the box sent it (8-bit text)
};

// Writes the opening lines, then sends "TestNetworkJson\r\n" and reports its reply, or, when
// that fails, "TestNetwork\r\n" and its reply; "detect_network_failed" when both fail.
// nBoxFunctions: the identified box type's function bits (bit 0 Ethernet, 1 Wi-Fi, 2 4G).
CNetworkTestResult TestBoxNetwork(CBoxChannel& channel, IOperationReport& report,
                                  unsigned nBoxFunctions);

// Reports the JSON form of the reply (keys in any letter case). The Ethernet, Wi-Fi and 4G
// sections are written only when the box type has their function bit; the 2G section is not
// gated. A reply that is not JSON writes nothing.
void ReportJsonNetwork(std::string_view reply, unsigned nBoxFunctions, IOperationReport& report);

// Reports the text form of the reply: up to three sections "name:status,ip:address,ping:times"
// separated by ';'. The reply is 8-bit text and is converted to UTF-8 first.
void ReportTextNetwork(std::string_view reply, IOperationReport& report);

// Fills the ping format of the language file with three times. The format comes from a file
// and is never handed to printf as it stands: only floating-point conversions (%f, %lf,
// %.2f, %g, %e, %a with flags, width and precision of up to two digits each) are filled, the
// first three in order; "%%" becomes "%", and every other '%' sequence, including any fourth
// floating conversion, stays in the text as it is.
std::string FormatPingTimes(std::string_view format, double dFirst, double dMiddle, double dLast);
