// The command exchange's reply handling: the input is what the link delivers, receive by
// receive (fields split at 0x1F; an empty field is an empty receive). Checks that the result
// follows the reply, that replies stay terminated inside their buffers, and that the version
// query never takes more than its buffer or the length it was given.
#include <cstdlib>
#include <string>

#include "box/box_channel.h"
#include "tests/fakes/scripted_box_link.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxReceives = 12;

std::deque<std::string> Receives(std::string_view text) {
    std::deque<std::string> receives;
    for (std::string_view field : SplitRecords(text, kFuzzUnitSep, kMaxReceives)) {
        receives.emplace_back(field);
    }
    return receives;
}

// What the exchange must have read: the first non-empty receive of the first five, cut at the
// buffer and at its first NUL.
std::string ExpectedReply(const std::deque<std::string>& receives) {
    for (size_t i = 0; i < receives.size() && i < 5; ++i) {
        if (receives[i].empty() || receives[i][0] == '\0') continue;
        const std::string chunk = receives[i].substr(0, kMaxReceive);
        return chunk.substr(0, chunk.find('\0'));
    }
    return "";
}

void CheckCommand(const std::deque<std::string>& receives) {
    CScriptedBoxLink link;
    link.receives = receives;
    CBoxChannel channel(CBoxTiming{0});
    channel.SetActiveLink(&link);
    CReplyBuffer reply;
    const bool bResult = channel.SendBoxCommand("GetHMIType\r", &reply);
    const std::string expected = ExpectedReply(receives);
    if (reply.Text() != expected) ReportViolation("reply text", expected, reply.Text());
    if (bResult != (!expected.empty() && expected != "ERROR\r")) {
        ReportViolation("exchange result", IsAnswer(expected) ? "true" : "false",
                        bResult ? "true" : "false");
    }
    if (reply.Data()[reply.Size()] != '\0') ReportViolation("reply not terminated");
}

void CheckVersions(const std::deque<std::string>& receives) {
    CScriptedBoxLink link;
    link.receives = receives;
    CBoxChannel channel(CBoxTiming{0});
    channel.SetActiveLink(&link);
    CReplyBuffer reply(kLargeReplySize);
    const bool bResult = channel.QueryAllVersions(&reply);
    const std::string body = reply.Text();
    if (reply.Data()[reply.Size()] != '\0') ReportViolation("version body not terminated");
    if (bResult != (!body.empty() && body.compare(0, 6, "ERROR\r") != 0)) {
        ReportViolation("version result", body);
    }
    // The length field is at most four digits: the body never exceeds what it announced.
    for (const std::string& field : receives) {
        if (field.empty() || field[0] == '\0') continue;
        const size_t nAnnounced = static_cast<size_t>(
            std::max(0, std::atoi(std::string(field.substr(0, 4)).c_str())));
        if (body.size() > nAnnounced) ReportViolation("body longer than its length field");
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::deque<std::string> receives = Receives(AsText(data, size));
    CheckCommand(receives);
    CheckVersions(receives);
    return 0;
}
