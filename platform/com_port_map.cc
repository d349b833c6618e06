// The parts of the COM port map that are plain text and bit work, shared by both systems.
#include "platform/com_port_map.h"

#include <algorithm>
#include <climits>

namespace platform {

namespace {

// The database covers ports 1 to 2080.
constexpr size_t kComDbBytes = 260;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ParseNumberedName(std::string_view name, std::string_view prefix, bool bIgnoreCase,
                       int* pnNumber) {
    if (name.size() <= prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = bIgnoreCase ? LowerAscii(name[i]) : name[i];
        if (c != (bIgnoreCase ? LowerAscii(prefix[i]) : prefix[i])) return false;
    }
    long long llNumber = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') return false;
        llNumber = llNumber * 10 + (c - '0');
        if (llNumber > INT_MAX) return false;
    }
    *pnNumber = static_cast<int>(llNumber);
    return true;
}

void AppendReservedComPorts(std::span<const unsigned char> bitmap, std::vector<int>* pNumbers) {
    const size_t nBytes = std::min(bitmap.size(), kComDbBytes);
    for (size_t i = 0; i < nBytes; ++i) {
        for (int b = 0; b < 8; ++b) {
            if ((bitmap[i] >> b) & 1) pNumbers->push_back(static_cast<int>(8 * i) + b + 1);
        }
    }
}

}  // namespace platform
