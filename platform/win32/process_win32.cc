// Starting other programs with CreateProcessW. The arguments are joined into one command line
// quoted the way the C runtime splits it again, so each argument arrives as given. A child
// inherits exactly the standard handles handed to it (an explicit handle list), never another
// handle of ours that happens to be inheritable.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "platform/process.h"
#include "platform/win32/process_start.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

constexpr size_t kCaptureLimit = 64 * 1024;

// Appends one argument as the C runtime's command-line split reads it back: plain when it has
// no blank and no quote, else quoted, backslashes doubled where a quote follows them.
void AppendQuoted(std::wstring* pLine, const std::wstring& arg) {
    if (!pLine->empty()) pLine->push_back(L' ');
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        *pLine += arg;
        return;
    }
    pLine->push_back(L'"');
    size_t nBackslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++nBackslashes;
            continue;
        }
        const size_t nCopies = c == L'"' ? 2 * nBackslashes + 1 : nBackslashes;
        pLine->append(nCopies, L'\\');
        pLine->push_back(c);
        nBackslashes = 0;
    }
    pLine->append(2 * nBackslashes, L'\\');
    pLine->push_back(L'"');
}

std::wstring CommandLine(const CSpawnRequest& request) {
    std::wstring line;
    AppendQuoted(&line, WideFromUtf8(request.strProgram));
    for (const std::string& arg : request.args) AppendQuoted(&line, WideFromUtf8(arg));
    return line;
}

std::wstring_view VariableName(std::wstring_view entry) {
    // A leading '=' belongs to the name (the per-drive folders "=C:=C:\...").
    return entry.substr(0, entry.find(L'=', 1));
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A copy of our environment block with the request's variables added or replaced (names
// compare without letter case), sorted by name as the system keeps it.
std::wstring MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& additions) {
    std::vector<std::wstring> entries;
    for (const auto& [name, value] : additions) {
        entries.push_back(WideFromUtf8(name) + L"=" + WideFromUtf8(value));
    }
    const size_t nAdded = entries.size();
    const LPWCH pBlock = GetEnvironmentStringsW();
    for (const wchar_t* p = pBlock; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
        const std::wstring_view name = VariableName(p);
        const bool bReplaced = std::any_of(entries.begin(), entries.begin() + nAdded,
                                           [&](const std::wstring& e) {
                                               return SameName(VariableName(e), name);
                                           });
        if (!bReplaced) entries.emplace_back(p);
    }
    if (pBlock != nullptr) FreeEnvironmentStringsW(pBlock);
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        const std::wstring_view nameA = VariableName(a), nameB = VariableName(b);
        return CompareStringOrdinal(nameA.data(), static_cast<int>(nameA.size()), nameB.data(),
                                    static_cast<int>(nameB.size()), TRUE) == CSTR_LESS_THAN;
    });
    std::wstring block;
    for (const std::wstring& entry : entries) block += entry + L'\0';
    block += L'\0';
    return block;
}

// Owns a handle; closes it when it goes.
struct CHandleCloser {
    void operator()(HANDLE h) const {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using CHandle = std::unique_ptr<void, CHandleCloser>;

// An inheritable copy of a handle for the child; empty when there is none to copy.
CHandle InheritableCopy(HANDLE h) {
    HANDLE hCopy = nullptr;
    if (h == nullptr || h == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hCopy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return CHandle();
    }
    return CHandle(hCopy);
}

// The child's standard handles: ours unless a pipe end (or the null device) is given.
struct CStdHandles {
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
};

// Starts the program with the given standard handles and creation flags. Returns the process
// information (the caller closes both handles), or false when it could not start.
bool StartProcess(const CSpawnRequest& request, const CStdHandles& std, DWORD nFlags,
                  PROCESS_INFORMATION* pInfo) {
    const std::string strPath = request.strProgram.find_first_of("/\\") == std::string::npos
                                    ? FindProgramOnPath(request.strProgram)
                                    : request.strProgram;
    if (strPath.empty()) return false;
    const CHandle copies[] = {InheritableCopy(std.hIn), InheritableCopy(std.hOut),
                              InheritableCopy(std.hErr)};
    std::vector<HANDLE> inherited;
    for (const CHandle& h : copies) {
        if (h) inherited.push_back(h.get());
    }
    SIZE_T nAttributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &nAttributeSize);
    std::vector<unsigned char> attributeBuffer(nAttributeSize);
    auto* pAttributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    if (!InitializeProcThreadAttributeList(pAttributes, 1, 0, &nAttributeSize)) return false;
    const bool bListed =
        inherited.empty() ||
        UpdateProcThreadAttribute(pAttributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                  inherited.data(), inherited.size() * sizeof(HANDLE), nullptr,
                                  nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_SHOWNORMAL;
    startup.StartupInfo.hStdInput = copies[0].get();
    startup.StartupInfo.hStdOutput = copies[1].get();
    startup.StartupInfo.hStdError = copies[2].get();
    startup.lpAttributeList = inherited.empty() ? nullptr : pAttributes;
    std::wstring line = CommandLine(request);
    std::wstring environment = MergedEnvironment(request.env);
    const std::wstring folder = WideFromUtf8(request.strWorkingDir);
    const bool bStarted =
        bListed &&
        CreateProcessW(WideFromUtf8(strPath).c_str(), line.data(), nullptr, nullptr,
                       inherited.empty() ? FALSE : TRUE,
                       nFlags | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
                       environment.data(), folder.empty() ? nullptr : folder.c_str(),
                       &startup.StartupInfo, pInfo);
    DeleteProcThreadAttributeList(pAttributes);
    return bStarted;
}

// Waits for the end: the exit code, or -1 when the wait fails or the code is no ordinary one
// (the status of a crash, such as 0xC0000005, does not fit a non-negative int).
int WaitExitCode(HANDLE hProcess) {
    DWORD nCode = 0;
    if (WaitForSingleObject(hProcess, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(hProcess, &nCode) || nCode > INT_MAX) {
        return -1;
    }
    return static_cast<int>(nCode);
}

// Starts the program and, once started, runs `use`, then waits for its end and closes it.
template <typename Use>
int RunStarted(const CSpawnRequest& request, const CStdHandles& std, Use use) {
    PROCESS_INFORMATION info{};
    if (!StartProcess(request, std, 0, &info)) return -1;
    CloseHandle(info.hThread);
    use();
    const int nCode = WaitExitCode(info.hProcess);
    CloseHandle(info.hProcess);
    return nCode;
}

void WriteAll(HANDLE h, std::string_view data) {
    while (!data.empty()) {
        DWORD nWritten = 0;
        const DWORD nChunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1 << 20));
        if (!WriteFile(h, data.data(), nChunk, &nWritten, nullptr) || nWritten == 0) return;
        data.remove_prefix(nWritten);
    }
}

// Reads to the end, keeping at most kCaptureLimit bytes; the rest is read and dropped so the
// child never blocks on a full pipe.
void CaptureAll(HANDLE h, std::string* pOutput) {
    char buffer[16384];
    DWORD nRead = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &nRead, nullptr) && nRead > 0) {
        const size_t nKeep = std::min<size_t>(nRead, kCaptureLimit - pOutput->size());
        pOutput->append(buffer, nKeep);
    }
}

// Starts the program with one end of a new pipe as its stdin (bToChild) or stdout, hands our
// end to `use`, then waits for the program.
template <typename Use>
int RunWithPipe(const CSpawnRequest& request, bool bToChild, Use use) {
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, nullptr, 0)) return -1;
    CHandle ourEnd(bToChild ? hWrite : hRead);
    CHandle childEnd(bToChild ? hRead : hWrite);
    CStdHandles std;
    (bToChild ? std.hIn : std.hOut) = childEnd.get();
    return RunStarted(request, std, [&] {
        // Our copy of the child's end goes, so that the pipe ends with the child.
        childEnd.reset();
        use(ourEnd.get());
        ourEnd.reset();
    });
}

std::wstring PathVariable() {
    const DWORD nLength = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring value(nLength, L'\0');
    const DWORD nCopied = GetEnvironmentVariableW(L"PATH", value.data(), nLength);
    value.resize(nCopied < nLength ? nCopied : 0);
    return value;
}

// The file of that name in the folders; empty when there is none (or only a folder).
std::wstring SearchFolders(const std::wstring& folders, const std::wstring& name) {
    wchar_t szFound[MAX_PATH * 4];
    const DWORD nLength =
        SearchPathW(folders.c_str(), name.c_str(), nullptr, std::size(szFound), szFound, nullptr);
    if (nLength == 0 || nLength >= std::size(szFound)) return {};
    const DWORD nAttributes = GetFileAttributesW(szFound);
    if (nAttributes == INVALID_FILE_ATTRIBUTES || (nAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return szFound;
}

// The program runs in a process group of its own, without our console, reading nothing of
// ours; its output still goes where ours goes unless bWithoutHandles.
bool StartDetached(const CSpawnRequest& request, bool bWithoutHandles, int* pPid) {
    CHandle nul(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    CStdHandles std;
    std.hIn = nul.get();
    if (bWithoutHandles) std = CStdHandles{nullptr, nullptr, nullptr};
    PROCESS_INFORMATION info{};
    if (!StartProcess(request, std, CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (pPid != nullptr) *pPid = static_cast<int>(info.dwProcessId);
    return true;
}

}  // namespace

bool SpawnDetached(const CSpawnRequest& request, int* pPid) {
    return StartDetached(request, false, pPid);
}

bool SpawnDetachedWithoutHandles(const CSpawnRequest& request) {
    return StartDetached(request, true, nullptr);
}

int RunAndWait(const CSpawnRequest& request, const std::function<void()>& onStarted) {
    return RunStarted(request, CStdHandles(), [&] {
        if (onStarted) onStarted();
    });
}

int RunWithInput(const CSpawnRequest& request, std::string_view input) {
    return RunWithPipe(request, true, [&](HANDLE h) { WriteAll(h, input); });
}

int RunAndCapture(const CSpawnRequest& request, std::string* output) {
    output->clear();
    return RunWithPipe(request, false, [&](HANDLE h) { CaptureAll(h, output); });
}

std::string FindProgramOnPath(const std::string& name) {
    if (name.empty() || name.find_first_of("/\\") != std::string::npos) return {};
    // Only the PATH folders: not the current folder nor ours, which a search without a list of
    // folders would also look in.
    const std::wstring folders = PathVariable();
    if (folders.empty()) return {};
    const std::wstring wideName = WideFromUtf8(name);
    std::wstring found = SearchFolders(folders, wideName);
    if (found.empty()) found = SearchFolders(folders, wideName + L".exe");
    return Utf8FromWide(found);
}

bool OpenWithShell(const std::string& strVerb, const std::string& strFile,
                   const std::string& strParameters) {
    // Some verbs are carried out by shell extensions, which want COM on the calling thread.
    const HRESULT hrCom =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::wstring verb = WideFromUtf8(strVerb);
    const std::wstring parameters = WideFromUtf8(strParameters);
    const HINSTANCE hResult =
        ShellExecuteW(nullptr, verb.empty() ? nullptr : verb.c_str(),
                      WideFromUtf8(strFile).c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(hrCom)) CoUninitialize();
    return reinterpret_cast<INT_PTR>(hResult) > 32;
}

}  // namespace platform
