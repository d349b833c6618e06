// Folders and variables of the Windows environment, as UTF-8 (header only, so that the tunnel
// path library can use it without the rest of the platform library).
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace platform {

// An environment variable's value; empty when it is unset.
inline std::string EnvironmentValue(const wchar_t* szName) {
    std::wstring value(64, L'\0');
    for (;;) {
        const DWORD ulLength =
            GetEnvironmentVariableW(szName, value.data(), static_cast<DWORD>(value.size()));
        if (ulLength < value.size()) {
            value.resize(ulLength);  // 0 when unset
            return Utf8FromWide(value);
        }
        value.resize(ulLength);  // too small: ulLength is the size needed
    }
}

// The user's temporary folder without a trailing separator; empty when the system has none.
inline std::string TempFolderPath() {
    wchar_t szPath[MAX_PATH + 2];
    const DWORD ulLength = GetTempPathW(MAX_PATH + 2, szPath);
    if (ulLength == 0 || ulLength > MAX_PATH + 1) return {};
    std::wstring path(szPath, ulLength);
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return Utf8FromWide(path);
}

}  // namespace platform
