// Winsock stays started until the process ends: sockets may be in use until then.
#include "platform/win32/winsock_init.h"

#include <winsock2.h>

#include <mutex>

namespace platform {

void EnsureWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

}  // namespace platform
