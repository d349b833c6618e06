// Random bytes from the kernel's generator (getrandom), which blocks only until the generator
// has been seeded once after boot.
#include <errno.h>
#include <sys/random.h>

#include "platform/random.h"

namespace platform {

bool FillRandomBytes(void* pBuffer, size_t nLength) {
    unsigned char* pOut = static_cast<unsigned char*>(pBuffer);
    while (nLength > 0) {
        // Large requests may come back short, and a signal may cut any request short.
        const ssize_t n = getrandom(pOut, nLength, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pOut += n;
        nLength -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace platform
