// Sleeping and the monotonic clock. The clock is the performance counter: the tick count moves
// in steps of about 16 ms, too coarse for "at least this long" waits.
#include <windows.h>

#include "platform/thread_util.h"

namespace platform {

void SleepMs(uint32_t milliseconds) {
    // Sleep may end up to one timer tick early; sleep the rest so callers' fixed waits hold.
    const uint64_t ullEnd = MonotonicMs() + milliseconds;
    for (uint64_t ullNow = MonotonicMs(); ullNow < ullEnd; ullNow = MonotonicMs()) {
        Sleep(static_cast<DWORD>(ullEnd - ullNow));
    }
}

uint64_t MonotonicMs() {
    static const uint64_t ullFrequency = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<uint64_t>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const auto ullCount = static_cast<uint64_t>(counter.QuadPart);
    return ullCount / ullFrequency * 1000u + ullCount % ullFrequency * 1000u / ullFrequency;
}

}  // namespace platform
