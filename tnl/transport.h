// One request/reply exchange with the tunnel service: the request is written whole, and the
// reply is collected until its end marker "</proto>" has arrived.
#pragma once

#include <string>

#include "tnl/pipe_link.h"
#include "tnl/tnl_status.h"

namespace tnl {

// Writes the request without its trailing white space. kPipeNotConnected when the link is not
// open; the system error when the write fails.
Status SendRequest(CPipeLink* link, std::string request);

// Reads one reply and checks it: kOk, the system error of a failed read, kNotFound for a reply
// that does not parse (a service that closed mid-reply included), kNotSupported for "ERROR".
Status ReceiveReply(CPipeLink* link, std::string* reply);

// SendRequest, then at once ReceiveReply.
Status Exchange(CPipeLink* link, const std::string& request, std::string* reply);

}  // namespace tnl
