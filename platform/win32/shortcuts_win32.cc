// Shortcuts on Windows are shell links, read and written through IShellLinkW; the tool-named
// program entry is the program file itself, renamed.
#include "platform/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/file_system.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Loads the link for writing and, when its target as stored is exactly the program, gives it
// the icon and saves it back.
void SetIconWhenTargetIs(IShellLinkW* pLink, IPersistFile* pFile, const std::wstring& shortcut,
                         const std::wstring& icon, const std::wstring& program) {
    if (FAILED(pFile->Load(shortcut.c_str(), STGM_READWRITE))) return;
    wchar_t szTarget[MAX_PATH] = {};
    if (FAILED(pLink->GetPath(szTarget, MAX_PATH, nullptr, SLGP_RAWPATH)) || program != szTarget)
        return;
    if (SUCCEEDED(pLink->SetIconLocation(icon.c_str(), 0))) pFile->Save(nullptr, TRUE);
}

}  // namespace

void UpdateShortcutIcon(const std::string& strShortcut, const std::string& strIcon,
                        const std::string& strProgram) {
    if (strShortcut.empty() || strIcon.empty()) return;
    // A thread already in the multithreaded apartment can use the link object as it is.
    const HRESULT hrInit = CoInitialize(nullptr);
    if (FAILED(hrInit) && hrInit != RPC_E_CHANGED_MODE) return;
    IShellLinkW* pLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&pLink)))) {
        IPersistFile* pFile = nullptr;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
            SetIconWhenTargetIs(pLink, pFile, WideFromUtf8(strShortcut), WideFromUtf8(strIcon),
                                WideFromUtf8(strProgram));
            pFile->Release();
        }
        pLink->Release();
    }
    if (SUCCEEDED(hrInit)) CoUninitialize();
}

std::string ToolProgramEntry(const std::string& strDir, const std::string& strToolName) {
    return JoinPath(strDir, strToolName + ".exe");
}

// Windows lets the file of a running program be renamed; the program goes on running. The file
// is renamed in its own folder only: an entry elsewhere (a program directory given on the
// command line) would carry the program off into that folder.
void PlaceToolProgramEntry(const std::string& strProgram, const std::string& strEntry) {
    if (strEntry == strProgram || ParentDirectory(strEntry) != ParentDirectory(strProgram)) return;
    MoveFileW(WideFromUtf8(strProgram).c_str(), WideFromUtf8(strEntry).c_str());
}

}  // namespace platform
