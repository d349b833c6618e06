// Random bytes from the system's preferred generator.
#include <windows.h>
#include <bcrypt.h>

#include <climits>

#include "platform/random.h"

namespace platform {

bool FillRandomBytes(void* pBuffer, size_t nLength) {
    unsigned char* pOut = static_cast<unsigned char*>(pBuffer);
    while (nLength > 0) {
        // One call takes at most a ULONG's worth.
        const ULONG ulChunk = nLength > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(nLength);
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, pOut, ulChunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            return false;
        }
        pOut += ulChunk;
        nLength -= ulChunk;
    }
    return true;
}

}  // namespace platform
