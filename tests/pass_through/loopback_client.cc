#include "tests/pass_through/loopback_client.h"

#include <random>
#include <thread>

namespace {

constexpr unsigned kSilenceMs = 20000;

}  // namespace

uint16_t FreeLoopbackPort() {
    const platform::SocketHandle s = platform::ListenTcp("127.0.0.1", 0, 1);
    const uint16_t nPort = platform::SocketLocalPort(s);
    platform::CloseSocket(s);
    return nPort;
}

std::string RoundTrip(platform::SocketHandle s, const std::string& strData, size_t nExpected) {
    if (nExpected == 0) nExpected = strData.size();
    platform::SetSocketTimeouts(s, kSilenceMs, kSilenceMs);
    std::thread sender([&] { platform::SocketSendAll(s, strData.data(), strData.size()); });
    std::string strReceived;
    char buffer[16384];
    long n = 1;
    while (strReceived.size() < nExpected &&
           (n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0) {
        strReceived.append(buffer, static_cast<size_t>(n));
    }
    sender.join();
    return strReceived;
}

bool ReceiveUntilClosed(platform::SocketHandle s, std::string* pReceived) {
    platform::SetSocketTimeouts(s, kSilenceMs, kSilenceMs);
    char buffer[4096];
    long n;
    while ((n = platform::SocketReceive(s, buffer, sizeof(buffer))) > 0) {
        pReceived->append(buffer, static_cast<size_t>(n));
    }
    return n == 0;
}

std::string RandomBytes(size_t nSize) {
    std::mt19937 generator(7);
    std::string strData(nSize, '\0');
    for (char& c : strData) c = static_cast<char>(generator());
    return strData;
}
