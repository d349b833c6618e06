// Sleeping and monotonic time.
#pragma once

#include <cstdint>

namespace platform {

void SleepMs(uint32_t milliseconds);
uint64_t MonotonicMs();

}  // namespace platform
