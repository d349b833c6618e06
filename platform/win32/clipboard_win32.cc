// The clipboard on Windows: the text as CF_UNICODETEXT in memory the clipboard then owns.
#include "platform/clipboard.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/wide_text.h"

namespace platform {

bool SetClipboardText(const std::string& strUtf8) {
    const std::wstring text = WideFromUtf8(strUtf8);
    const size_t cbText = (text.size() + 1) * sizeof(wchar_t);
    const HGLOBAL hMemory = GlobalAlloc(GMEM_MOVEABLE, cbText);
    if (hMemory == nullptr) return false;
    void* pMemory = GlobalLock(hMemory);
    if (pMemory == nullptr) {
        GlobalFree(hMemory);
        return false;
    }
    std::memcpy(pMemory, text.c_str(), cbText);
    GlobalUnlock(hMemory);
    bool bSet = false;
    if (OpenClipboard(nullptr)) {
        bSet = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, hMemory) != nullptr;
        CloseClipboard();
    }
    // Once set, the memory belongs to the clipboard.
    if (!bSet) GlobalFree(hMemory);
    return bSet;
}

}  // namespace platform
