// Whether the digests and ciphers may use the processor's SHA and AES instructions and
// hand-written assembly. Each is used only when present and not switched off for a test.
#pragma once

// x86 SHA extensions with SSE4.1 and SSSE3.
bool CpuHasShaInstructions();
// x86 AES-NI with SSE4.1.
bool CpuHasAesInstructions();

bool UseShaInstructions();
bool UseAesInstructions();

// Hand-written assembly (RC4's keystream on x86-64): present in such builds.
bool HasAssemblyPaths();
bool UseAssemblyPaths();

// false makes every digest and cipher take its portable C path, so tests can check both paths
// on one machine; true returns to what the processor offers.
void SetCipherHardwareForTesting(bool bAllowed);
