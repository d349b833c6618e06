// The client side of the pass-through tests on 127.0.0.1: a free port, a round trip of bytes,
// reading until the peer closes, and random data.
#pragma once

#include <cstdint>
#include <string>

#include "platform/net_socket.h"
#include "platform/thread_util.h"

uint16_t FreeLoopbackPort();
// Sends the bytes from a second thread while reading as many back (or nExpected, when
// given); what came back.
std::string RoundTrip(platform::SocketHandle s, const std::string& strData, size_t nExpected = 0);
// What arrives until the peer closes; false when it stays open through 20 s of silence.
bool ReceiveUntilClosed(platform::SocketHandle s, std::string* pReceived);
std::string RandomBytes(size_t nSize);

template <typename Predicate>
bool WaitUntil(Predicate predicate) {
    for (int i = 0; i < 2000 && !predicate(); ++i) platform::SleepMs(10);
    return predicate();
}
