#include <windows.h>

#include "platform/codepage.h"
#include "tests/tnl/tnl_system.h"

namespace tnl_test {

// A pipe path naming another machine would go out to the network, so it is not tried.
const SystemErrors kSystemErrors = {ERROR_FILE_NOT_FOUND, ERROR_NO_DATA, ERROR_BROKEN_PIPE, nullptr,
                                    0};

namespace {

std::wstring Wide(const std::string& text) {
    std::u16string units = platform::Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

}  // namespace

void* LoadLibraryFile(const char* szPath, std::string* error) {
    // The last FreeLibrary unloads the DLL, so every load starts with fresh library state.
    HMODULE hLibrary = LoadLibraryW(Wide(szPath).c_str());
    if (hLibrary == nullptr) *error = "LoadLibrary failed: " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(hLibrary);
}

void* FindFunction(void* pLibrary, const char* szName) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(pLibrary), szName));
}

void UnloadLibraryFile(void* pLibrary) {
    FreeLibrary(static_cast<HMODULE>(pLibrary));
}

void SetRunDirVariable(const std::string& runDir) {
    SetEnvironmentVariableW(L"TNL_RUN_DIR", Wide(runDir).c_str());
}

}  // namespace tnl_test
