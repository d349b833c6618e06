// Answers to the discovery broadcast and the found list they feed. Input fields, split at 0x1F:
// own address, sender address, datagram, existing list. Properties that must hold:
//  - an answer from the own address changes nothing; any other sender is appended once, as
//    "<sender>;", and the console line names it;
//  - AppendFoundBox adds an address only when it is not yet a whole entry, so a list built
//    with it has no duplicates;
//  - with dotted addresses, a list of "a.b.c.d;" entries keeps that shape, and a dotted own
//    address parses back to itself.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "box/lan_discovery.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::vector<std::string> Entries(std::string_view list) {
    std::vector<std::string> entries;
    for (std::string_view rest = list; !rest.empty();) {
        const size_t nEnd = rest.find(';');
        entries.emplace_back(rest.substr(0, nEnd));
        rest = nEnd == std::string_view::npos ? std::string_view() : rest.substr(nEnd + 1);
    }
    return entries;
}

// Four decimal numbers 0..255 without leading zeros, separated by dots.
bool IsDotted(std::string_view text) {
    int nFields = 0;
    for (std::string_view rest = text;; ++nFields) {
        const size_t nEnd = rest.find('.');
        const std::string_view field = rest.substr(0, nEnd);
        const bool bLeadingZero = field.size() > 1 && field[0] == '0';
        if (field.empty() || field.size() > 3 || bLeadingZero) return false;
        for (char c : field) {
            if (c < '0' || c > '9') return false;
        }
        if (std::stoi(std::string(field)) > 255) return false;
        if (nEnd == std::string_view::npos) return nFields == 3;
        rest = rest.substr(nEnd + 1);
    }
}

bool IsListShaped(std::string_view list) {
    if (!list.empty() && list.back() != ';') return false;
    for (const std::string& entry : Entries(list)) {
        if (!IsDotted(entry)) return false;
    }
    return true;
}

void CheckReply(const std::string& own, const std::string& sender, std::string_view datagram,
                const std::string& list) {
    std::string after = list;
    const std::string line = TakeDiscoveryReply(own, sender, datagram, &after);
    if (sender == own) {
        if (after != list || !line.empty()) ReportViolation("own echo was listed", list, after);
        return;
    }
    if (after != list + sender + ";") ReportViolation("sender not appended once", sender, after);
    const std::string_view text = datagram.substr(0, datagram.find('\0'));
    if (line != "recv : " + std::string(text) + ", from:" + sender + "\r\n") {
        ReportViolation("console line", sender, line);
    }
    if (IsListShaped(list) && IsDotted(sender) && !IsListShaped(after)) {
        ReportViolation("list lost its shape", list, after);
    }
}

void CheckAppend(const std::string& own, const std::string& sender, const std::string& list) {
    std::vector<std::string> candidates = Entries(list);
    candidates.push_back(sender);
    candidates.push_back(own);
    candidates.push_back(sender);
    std::string built;
    std::set<std::string> seen;
    for (const std::string& address : candidates) {
        if (address.find(';') != std::string::npos) continue;  // not one entry
        const bool bNew = seen.insert(address).second;
        if (AppendFoundBox(&built, address) != bNew) {
            ReportViolation("duplicate test", address, built);
        }
    }
    if (Entries(built).size() != seen.size()) ReportViolation("duplicates in list", "", built);
    if (IsDotted(own) && IsDotted(sender) && IsListShaped(list) && !IsListShaped(built)) {
        ReportViolation("built list lost its shape", list, built);
    }
}

void CheckParse(const std::string& own) {
    const CAddressFields fields = ParseAddressFields(own);
    const std::string again = FormatAddress(fields.nA, fields.nB, fields.nC, fields.nD);
    if (IsDotted(own) && again != own) ReportViolation("address does not parse back", own, again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = SplitFields(AsText(data, size), kFuzzUnitSep, 4);
    const std::string own(fields[0]);
    const std::string sender(fields[1]);
    const std::string list(fields[3]);
    CheckReply(own, sender, fields[2], list);
    CheckAppend(own, sender, list);
    CheckParse(own);
    return 0;
}
