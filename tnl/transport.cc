#include "tnl/transport.h"

#include <cstring>
#include <vector>

#include "tnl/messages.h"

namespace tnl {

namespace {

constexpr const char* kReplyEnd = "</proto>";

bool IsTrailingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

Status SendRequest(CPipeLink* link, std::string request) {
    if (!link->IsOpen()) return kPipeNotConnected;
    while (!request.empty() && IsTrailingSpace(request.back())) request.pop_back();
    return link->Write(request);
}

Status ReceiveReply(CPipeLink* link, std::string* reply) {
    reply->clear();
    if (!link->IsOpen()) return kPipeNotConnected;
    size_t nReadSize = link->ReadSize();
    std::vector<char> buffer;
    for (;;) {
        buffer.resize(nReadSize);
        size_t nRead = 0;
        Status status = link->Read(buffer.data(), buffer.size(), &nRead);
        // A message-mode link reports a reply longer than the buffer; keep what arrived and
        // read the rest in larger pieces.
        if (status == kMoreData) nReadSize *= 2;
        if (status != kOk && status != kMoreData) {
            reply->clear();
            return status;
        }
        if (nRead == 0) break;
        const char* pZero = static_cast<const char*>(std::memchr(buffer.data(), 0, nRead));
        reply->append(buffer.data(), pZero != nullptr ? pZero - buffer.data() : nRead);
        if (status == kOk && reply->find(kReplyEnd) != std::string::npos) break;
    }
    return CheckReply(*reply);
}

Status Exchange(CPipeLink* link, const std::string& request, std::string* reply) {
    Status status = SendRequest(link, request);
    return status == kOk ? ReceiveReply(link, reply) : status;
}

}  // namespace tnl
