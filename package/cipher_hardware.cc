#include "package/cipher_hardware.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

std::atomic<bool> g_bHardwareAllowed{true};

struct CpuFeatures {
    bool bSha = false;
    bool bAes = false;
};

CpuFeatures ReadCpuFeatures() {
    CpuFeatures features;
#if defined(__x86_64__) || defined(__i386__)
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return features;
    const bool bSsse3 = (c & bit_SSSE3) != 0;
    const bool bSse41 = (c & bit_SSE4_1) != 0;
    features.bAes = (c & bit_AES) != 0 && bSse41;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0) {
        features.bSha = (b & bit_SHA) != 0 && bSse41 && bSsse3;
    }
#endif
    return features;
}

const CpuFeatures& Features() {
    static const CpuFeatures features = ReadCpuFeatures();
    return features;
}

}  // namespace

bool CpuHasShaInstructions() {
    return Features().bSha;
}

bool CpuHasAesInstructions() {
    return Features().bAes;
}

bool UseShaInstructions() {
    return CpuHasShaInstructions() && g_bHardwareAllowed.load(std::memory_order_relaxed);
}

bool UseAesInstructions() {
    return CpuHasAesInstructions() && g_bHardwareAllowed.load(std::memory_order_relaxed);
}

bool HasAssemblyPaths() {
#if defined(__x86_64__) && defined(__GNUC__)
    return true;
#else
    return false;
#endif
}

bool UseAssemblyPaths() {
    return HasAssemblyPaths() && g_bHardwareAllowed.load(std::memory_order_relaxed);
}

void SetCipherHardwareForTesting(bool bAllowed) {
    g_bHardwareAllowed.store(bAllowed);
}
