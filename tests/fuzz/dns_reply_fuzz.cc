// Replies of a DNS resolver as the update check decodes them. The input is the queried host
// name and the reply bytes, split at the first 0x1F.
// Properties that must hold:
//  - nothing outside the reply is read (the reply sits alone in a buffer of its exact size);
//  - the result is 0, -1 or -2; 0 exactly when addresses were collected; a record error code
//    comes only with -1 and is one of the record decoder's codes;
//  - a reply shorter than its header is refused, and no more addresses come out than the
//    header announces answers;
//  - every address is a dotted IPv4 address.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "updatecheck/dns_query.h"
#include "updatecheck/update_check.h"

namespace {

void CheckResult(int nCode, int nRecordError, const std::vector<uint8_t>& reply,
                 const std::vector<std::string>& addresses) {
    if (nCode != 0 && nCode != -1 && nCode != -2) {
        ReportViolation("unknown result", "", std::to_string(nCode));
    }
    if ((nCode == 0) != !addresses.empty()) ReportViolation("result and addresses disagree");
    if (nCode != -1 && nRecordError != 0) ReportViolation("record error without failure");
    if (nRecordError < kDnsRecordTruncated || nRecordError > 0) {
        ReportViolation("unknown record error", "", std::to_string(nRecordError));
    }
    if (reply.size() < 12 && nCode != -1) ReportViolation("short reply accepted");
    const size_t nAnswers = reply.size() < 12 ? 0 : (reply[6] << 8 | reply[7]);
    if (addresses.size() > nAnswers) ReportViolation("more addresses than answers");
    for (const std::string& strAddress : addresses) {
        if (!IsDottedIpv4(strAddress)) ReportViolation("address not dotted", "", strAddress);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = SplitFields(AsText(data, size), kFuzzUnitSep, 2);
    const std::string strHost(fields[0]);
    const std::vector<uint8_t> reply(fields[1].begin(), fields[1].end());
    std::vector<std::string> addresses{"stale"};
    int nRecordError = 0;
    const int nCode = DecodeDnsReply(reply.data(), reply.size(), strHost, &addresses,
                                     &nRecordError);
    CheckResult(nCode, nRecordError, reply, addresses);
    return 0;
}
