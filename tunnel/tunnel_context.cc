#include "tunnel/tunnel_context.h"

#include <atomic>
#include <cstdint>

#include "platform/thread_util.h"

namespace {

std::atomic<unsigned> g_nWaitPercent{100};

}  // namespace

std::recursive_mutex& TunnelLock() {
    static std::recursive_mutex lock;
    return lock;
}

void TunnelWait(unsigned nMs) {
    const uint64_t ullMs = static_cast<uint64_t>(nMs) * g_nWaitPercent.load() / 100;
    if (ullMs > 0) platform::SleepMs(static_cast<uint32_t>(ullMs));
}

void SetTunnelWaitPercent(unsigned nPercent) {
    g_nWaitPercent = nPercent;
}
