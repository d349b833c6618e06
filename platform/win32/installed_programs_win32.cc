// The uninstall list of the machine registry, both views, and starting a program of it.
#include <windows.h>

#include "platform/installed_programs.h"
#include "platform/win32/process_start.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

// The 64-bit view's key (asked for explicitly, so that a 32-bit build reads it too), then the
// 32-bit programs' key.
struct CUninstallView {
    const wchar_t* szKey;
    REGSAM nView;
};
constexpr CUninstallView kViews[] = {
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_WOW64_64KEY},
    {L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0},
};
constexpr DWORD kKeyNameLength = 2048;

// A text value of the key, expandable ones unexpanded; empty when it is missing or no text.
std::string ReadText(HKEY hKey, const wchar_t* szName) {
    DWORD nType = 0, nBytes = 0;
    if (RegQueryValueExW(hKey, szName, nullptr, &nType, nullptr, &nBytes) != ERROR_SUCCESS ||
        (nType != REG_SZ && nType != REG_EXPAND_SZ)) {
        return std::string();
    }
    std::wstring value(nBytes / sizeof(wchar_t) + 1, L'\0');
    nBytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(hKey, szName, nullptr, &nType, reinterpret_cast<BYTE*>(value.data()),
                         &nBytes) != ERROR_SUCCESS) {
        return std::string();
    }
    return Utf8FromWide(RegistryText(value.data(), nBytes));
}

// Appends the entries of one view in the registry's order; false when its key cannot be opened.
bool ReadView(const CUninstallView& view, std::vector<CInstalledProgram>* pPrograms) {
    HKEY hList = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, view.szKey, 0, KEY_READ | view.nView, &hList) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t szName[kKeyNameLength];
    for (DWORD i = 0;; ++i) {
        DWORD nLength = kKeyNameLength;
        const LSTATUS nResult =
            RegEnumKeyExW(hList, i, szName, &nLength, nullptr, nullptr, nullptr, nullptr);
        if (nResult == ERROR_NO_MORE_ITEMS) break;
        HKEY hEntry = nullptr;
        if (nResult != ERROR_SUCCESS ||
            RegOpenKeyExW(hList, szName, 0, KEY_READ | view.nView, &hEntry) != ERROR_SUCCESS) {
            continue;
        }
        pPrograms->push_back(
            {ReadText(hEntry, L"DisplayName"), ReadText(hEntry, L"InstallLocation")});
        RegCloseKey(hEntry);
    }
    RegCloseKey(hList);
    return true;
}

}  // namespace

bool ListInstalledPrograms(std::vector<CInstalledProgram>* pPrograms) {
    pPrograms->clear();
    bool bAnyView = false;
    for (const CUninstallView& view : kViews) bAnyView = ReadView(view, pPrograms) || bAnyView;
    return bAnyView;
}

bool StartInstalledProgram(const std::string& strProgram, const std::vector<std::string>& args,
                           const std::string& strWorkingDir) {
    const DWORD nAttributes = GetFileAttributesW(WideFromUtf8(strProgram).c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return SpawnDetachedWithoutHandles({strProgram, args, {}, strWorkingDir});
}

}  // namespace platform
