// What a benchmark reads of its own process: a field of /proc/self/status in KiB
// ("VmRSS:" resident now, "VmHWM:" the peak), -1 when it cannot be read.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

inline long ProcessStatusKiB(const char* szField) {
    FILE* pFile = std::fopen("/proc/self/status", "r");
    char szLine[256];
    long nValue = -1;
    while (pFile != nullptr && std::fgets(szLine, sizeof(szLine), pFile) != nullptr) {
        if (std::strncmp(szLine, szField, std::strlen(szField)) == 0) {
            nValue = std::atol(szLine + std::strlen(szField));
        }
    }
    if (pFile != nullptr) std::fclose(pFile);
    return nValue;
}
