// The path of the running executable, from the module's file name.
#include <windows.h>

#include "platform/program_dir.h"
#include "platform/win32/wide_text.h"

namespace platform {

std::string GetExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD ulSize = static_cast<DWORD>(path.size());
        const DWORD ulLength = GetModuleFileNameW(nullptr, path.data(), ulSize);
        if (ulLength == 0) return std::string();
        // A name that fills the buffer may have been cut: try again with a larger one.
        if (ulLength < ulSize) return Utf8FromWide(std::wstring_view(path.data(), ulLength));
        if (ulSize >= 32768) return std::string();  // longer than any path Windows allows
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
