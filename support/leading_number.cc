#include "support/leading_number.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

int ReadLeadingNumber(const std::string& strText) {
    return static_cast<int>(
        std::clamp<long>(std::strtol(strText.c_str(), nullptr, 10), INT_MIN, INT_MAX));
}
