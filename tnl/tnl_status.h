// Result codes inside the library. Every internal operation returns the value the exported
// function keeps as its last error: 0, a code of tnl.h, an errno value, or an XML status.
#pragma once

#include <cstdint>

#include "tnl/oleauto.h"
#include "tnl/tnl.h"

namespace tnl {

using Status = uint32_t;

constexpr Status kOk = TNL_ERROR_SUCCESS;
// The XML component's "nothing found" and "does not parse" (S_FALSE).
constexpr Status kNotFound = TNL_ERROR_NOT_FOUND;
constexpr Status kFileNotFound = TNL_ERROR_FILE_NOT_FOUND;
constexpr Status kAccessDenied = TNL_ERROR_ACCESS_DENIED;
constexpr Status kInvalidHandle = TNL_ERROR_INVALID_HANDLE;
constexpr Status kInvalidData = TNL_ERROR_INVALID_DATA;
constexpr Status kNotSupported = TNL_ERROR_NOT_SUPPORTED;
constexpr Status kInvalidParameter = TNL_ERROR_INVALID_PARAMETER;
constexpr Status kAlreadyExists = TNL_ERROR_ALREADY_EXISTS;
constexpr Status kPipeNotConnected = TNL_ERROR_PIPE_NOT_CONNECTED;
constexpr Status kMoreData = TNL_ERROR_MORE_DATA;
// Negative statuses of the XML and automation components, kept as unsigned bit patterns.
constexpr Status kOutOfMemory = static_cast<Status>(E_OUTOFMEMORY);
constexpr Status kXmlFailure = static_cast<Status>(E_FAIL);

}  // namespace tnl
