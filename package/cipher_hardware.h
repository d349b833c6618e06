// Whether the digests and the cipher may use the processor's SHA and AES instructions. Each is
// used only when the processor has it and it has not been switched off for a test.
#pragma once

// x86 SHA extensions with SSE4.1 and SSSE3.
bool CpuHasShaInstructions();
// x86 AES-NI with SSE4.1.
bool CpuHasAesInstructions();

bool UseShaInstructions();
bool UseAesInstructions();

// false makes every digest and cipher take its portable path, so tests can check both paths
// on one machine; true returns to what the processor offers.
void SetCipherHardwareForTesting(bool bAllowed);
