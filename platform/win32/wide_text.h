// UTF-8 at the platform interfaces, UTF-16 at the Windows API.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform {

inline std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int nLength = static_cast<int>(text.size());
    const int nWide = MultiByteToWideChar(CP_UTF8, 0, text.data(), nLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(nWide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), nLength, wide.data(), nWide);
    return wide;
}

inline std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int nLength = static_cast<int>(wide.size());
    const int nBytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), nLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), nLength, text.data(), nBytes, nullptr, nullptr);
    return text;
}

// Registry text that may lack its terminator: the units up to the first NUL.
inline std::wstring_view RegistryText(const void* pData, DWORD cbData) {
    const std::wstring_view text(static_cast<const wchar_t*>(pData), cbData / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

}  // namespace platform
