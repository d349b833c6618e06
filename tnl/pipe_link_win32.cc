// The link as a client of the named pipe "\\server\pipe\TNL_PIPE6": one synchronous handle in the
// system's default (byte) read mode, so a read never splits a reply into "more data" pieces.
#include <windows.h>

#include <vector>

#include "platform/codepage.h"
#include "tnl/pipe_link.h"
#include "tnl/pipe_name.h"

namespace tnl {

namespace {

constexpr const wchar_t* kRunDirVariable = L"TNL_RUN_DIR";
// The read size when the pipe reports no input buffer; every read would return nothing then.
constexpr DWORD kFallbackReadSize = 4096;

HANDLE AsHandle(intptr_t nHandle) {
    return reinterpret_cast<HANDLE>(nHandle);
}

std::wstring Wide(const std::string& text) {
    std::u16string units = platform::Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

// $TNL_RUN_DIR in UTF-8, empty when it is not set.
std::string RunDirOverride() {
    DWORD ulSize = GetEnvironmentVariableW(kRunDirVariable, nullptr, 0);
    if (ulSize == 0) return {};
    std::vector<wchar_t> value(ulSize);
    ulSize = GetEnvironmentVariableW(kRunDirVariable, value.data(), ulSize);
    return platform::Utf16ToUtf8(std::u16string_view(AsUtf16(value.data()), ulSize));
}

// "\\server\pipe\TNL_PIPE6" ("\\.\pipe\..." for this machine).
std::wstring PipePath(const std::string& server) {
    return Wide("\\\\" + server + "\\pipe\\" + ServicePipeName(RunDirOverride()));
}

}  // namespace

CPipeLink::~CPipeLink() {
    if (IsOpen()) CloseHandle(AsHandle(m_nHandle));
}

Status CPipeLink::Open(const std::string& server) {
    HANDLE hPipe = CreateFileW(PipePath(server).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hPipe == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD ulOutSize = 0, ulInSize = 0;
    if (!GetNamedPipeInfo(hPipe, nullptr, &ulOutSize, &ulInSize, nullptr)) {
        Status status = GetLastError();
        CloseHandle(hPipe);
        return status;
    }
    m_nHandle = reinterpret_cast<intptr_t>(hPipe);
    m_ulReadSize = ulInSize > 0 ? ulInSize : kFallbackReadSize;
    return kOk;
}

Status CPipeLink::Close() {
    if (!IsOpen()) return kOk;
    // The handle is given up even when closing reports an error; it must not be used again.
    BOOL bClosed = CloseHandle(AsHandle(m_nHandle));
    m_nHandle = -1;
    return bClosed ? kOk : static_cast<Status>(GetLastError());
}

Status CPipeLink::Write(std::string_view bytes) {
    if (!IsOpen()) return kPipeNotConnected;
    // A blocking write to a pipe takes everything at once; the loop only guards a short count.
    while (!bytes.empty()) {
        DWORD ulWritten = 0;
        if (!WriteFile(AsHandle(m_nHandle), bytes.data(), static_cast<DWORD>(bytes.size()),
                       &ulWritten, nullptr)) {
            return GetLastError();
        }
        bytes.remove_prefix(ulWritten);
    }
    return kOk;
}

Status CPipeLink::Read(char* buffer, size_t nMax, size_t* pnRead) {
    *pnRead = 0;
    if (!IsOpen()) return kPipeNotConnected;
    DWORD ulRead = 0;
    BOOL bRead = ReadFile(AsHandle(m_nHandle), buffer, static_cast<DWORD>(nMax), &ulRead, nullptr);
    // A message longer than the buffer still delivers what fitted, with ERROR_MORE_DATA.
    *pnRead = ulRead;
    return bRead ? kOk : static_cast<Status>(GetLastError());
}

}  // namespace tnl
