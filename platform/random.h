// Random bytes from the operating system's generator, for secrets such as access tokens.
#pragma once

#include <cstddef>

namespace platform {

// Fills the buffer; false when the system generator cannot be read.
bool FillRandomBytes(void* pBuffer, size_t nLength);

}  // namespace platform
