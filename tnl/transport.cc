#include "tnl/transport.h"

#include <cstring>
#include <memory>

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
    // Left uninitialised: the read size is the link's whole input buffer (some 200 KB), and
    // clearing it would cost more than the exchange itself.
    auto buffer = std::make_unique_for_overwrite<char[]>(nReadSize);
    for (;;) {
        size_t nRead = 0;
        Status status = link->Read(buffer.get(), nReadSize, &nRead);
        if (status != kOk && status != kMoreData) {
            reply->clear();
            return status;
        }
        if (nRead == 0) break;
        const char* pZero = static_cast<const char*>(std::memchr(buffer.get(), 0, nRead));
        reply->append(buffer.get(), pZero != nullptr ? pZero - buffer.get() : nRead);
        // A message-mode link reports a reply longer than the buffer; what arrived is kept and
        // the rest read in larger pieces.
        if (status == kMoreData) {
            nReadSize *= 2;
            buffer = std::make_unique_for_overwrite<char[]>(nReadSize);
        }
        if (status == kOk && reply->find(kReplyEnd) != std::string::npos) break;
    }
    return CheckReply(*reply);
}

Status Exchange(CPipeLink* link, const std::string& request, std::string* reply) {
    Status status = SendRequest(link, request);
    return status == kOk ? ReceiveReply(link, reply) : status;
}

}  // namespace tnl
