#include "tools/box_sim/sim_socket.h"

#include "tools/box_sim/sim_core.h"

bool SendSimBytes(const CSimBoxCore& core, platform::SocketHandle s, const char* pData,
                  size_t nSize) {
    while (nSize > 0 && !core.bStopping) {
        if (platform::WaitWritable(s, kSimPollMs) <= 0) continue;
        const long nSent = platform::SocketSendNow(s, pData, nSize);
        if (nSent < 0) return false;
        pData += nSent;
        nSize -= static_cast<size_t>(nSent);
    }
    return nSize == 0;
}
