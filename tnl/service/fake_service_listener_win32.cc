// The fake service's named pipe. Server ends are overlapped, so that a stop event can end any
// wait; the pipe is of message type, so a request is one message (a client writes a request in
// one call) and needs no search for its end. Clients keep the default byte read mode.
#include <windows.h>

#include <utility>

#include "platform/codepage.h"
#include "tnl/pipe_name.h"
#include "tnl/service/fake_service_listener.h"

namespace tnl_fake {

namespace {

constexpr DWORD kPipeBufferSize = 64 * 1024;
constexpr size_t kReadChunk = 4096;
constexpr std::string_view kReplyEnd = "</proto>";
// How long a client waits for a free instance before it gives up (the service is stuck then).
constexpr DWORD kFreeInstanceWaitMs = 10000;

std::wstring Wide(const std::string& text) {
    std::u16string units = platform::Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

// A manual-reset event, unsignalled.
HANDLE MakeEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

bool IsSignalled(HANDLE hEvent) {
    return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0;
}

// Finishes an overlapped operation that returned bStarted: waits for it, or for hStop, which
// cancels it. Returns 0, ERROR_MORE_DATA (a message longer than the buffer; *pulBytes came), or
// the error that ended it.
DWORD Complete(HANDLE hPipe, OVERLAPPED* pOverlapped, BOOL bStarted, HANDLE hStop,
               DWORD* pulBytes) {
    *pulBytes = 0;
    DWORD ulError = bStarted ? ERROR_SUCCESS : GetLastError();
    if (ulError != ERROR_SUCCESS && ulError != ERROR_IO_PENDING && ulError != ERROR_MORE_DATA)
        return ulError;
    if (ulError == ERROR_IO_PENDING) {
        HANDLE waits[] = {pOverlapped->hEvent, hStop};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
            CancelIoEx(hPipe, pOverlapped);
    }
    return GetOverlappedResult(hPipe, pOverlapped, pulBytes, TRUE) ? ERROR_SUCCESS : GetLastError();
}

// The parts every server end has: the pipe, the event of its operations and the stop event.
class CPipeEnd {
  public:
    explicit CPipeEnd(HANDLE hPipe) : m_hPipe(hPipe), m_hIo(MakeEvent()), m_hStop(MakeEvent()) {}
    CPipeEnd(const CPipeEnd&) = delete;
    CPipeEnd& operator=(const CPipeEnd&) = delete;
    ~CPipeEnd() {
        // No disconnect: a client may still read what was written before the close.
        if (m_hPipe != INVALID_HANDLE_VALUE) CloseHandle(m_hPipe);
        CloseHandle(m_hIo);
        CloseHandle(m_hStop);
    }

    HANDLE Pipe() const { return m_hPipe; }
    // Hands the pipe over and takes hPipe in its place.
    HANDLE ReplacePipe(HANDLE hPipe) {
        std::swap(hPipe, m_hPipe);
        return hPipe;
    }
    bool Usable() const { return m_hPipe != INVALID_HANDLE_VALUE && !IsSignalled(m_hStop); }
    void Stop() { SetEvent(m_hStop); }

    // ReadFile, WriteFile or ConnectNamedPipe with this end's OVERLAPPED, to completion.
    template <typename Start>
    DWORD Run(Start start, DWORD* pulBytes) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = m_hIo;
        return Complete(m_hPipe, &overlapped, start(&overlapped), m_hStop, pulBytes);
    }

  private:
    HANDLE m_hPipe;
    HANDLE m_hIo;
    HANDLE m_hStop;
};

class CPipeClient : public IServiceClient {
  public:
    explicit CPipeClient(HANDLE hPipe) : m_end(hPipe) {}

    bool ReceiveRequest(std::string* request) override {
        request->clear();
        char buffer[kReadChunk];
        for (DWORD ulError = ERROR_MORE_DATA; ulError == ERROR_MORE_DATA;) {
            if (!m_end.Usable()) return false;
            DWORD ulRead = 0;
            ulError = m_end.Run(
                [&](OVERLAPPED* pOverlapped) {
                    return ReadFile(m_end.Pipe(), buffer, sizeof(buffer), nullptr, pOverlapped);
                },
                &ulRead);
            if (ulError != ERROR_SUCCESS && ulError != ERROR_MORE_DATA) return false;
            request->append(buffer, ulRead);
        }
        return true;
    }

    bool Send(std::string_view bytes) override {
        if (!m_end.Usable()) return false;
        DWORD ulWritten = 0;
        DWORD ulError = m_end.Run(
            [&](OVERLAPPED* pOverlapped) {
                return WriteFile(m_end.Pipe(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                 nullptr, pOverlapped);
            },
            &ulWritten);
        return ulError == ERROR_SUCCESS && ulWritten == bytes.size();
    }

    void Interrupt() override { m_end.Stop(); }

  private:
    CPipeEnd m_end;
};

HANDLE CreateInstance(const std::wstring& path, bool bFirst) {
    DWORD ulOpenMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
    if (bFirst) ulOpenMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    return CreateNamedPipeW(
        path.c_str(), ulOpenMode,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr);
}

// Holds two instances that no client has taken yet, the one Accept waits on and a spare: the
// pipe exists from the start, and a client that comes right after another (before Accept has
// made a new instance) still finds one free.
class CPipeListener : public IServiceListener {
  public:
    CPipeListener(std::wstring path, HANDLE hFirst)
        : m_strPath(std::move(path)),
          m_waiting(hFirst),
          m_hSpare(CreateInstance(m_strPath, false)) {}
    ~CPipeListener() override {
        if (m_hSpare != INVALID_HANDLE_VALUE) CloseHandle(m_hSpare);
    }

    std::unique_ptr<IServiceClient> Accept() override {
        for (;;) {
            if (!m_waiting.Usable()) return nullptr;
            DWORD ulUnused = 0;
            DWORD ulError = m_waiting.Run(
                [&](OVERLAPPED* pOverlapped) {
                    return ConnectNamedPipe(m_waiting.Pipe(), pOverlapped);
                },
                &ulUnused);
            // A client that came before the wait is connected already; one that came and went
            // leaves the instance to be freed for the next.
            if (ulError == ERROR_NO_DATA) {
                DisconnectNamedPipe(m_waiting.Pipe());
                continue;
            }
            if (ulError != ERROR_SUCCESS && ulError != ERROR_PIPE_CONNECTED) return nullptr;
            HANDLE hNext = std::exchange(m_hSpare, CreateInstance(m_strPath, false));
            return std::make_unique<CPipeClient>(m_waiting.ReplacePipe(hNext));
        }
    }

    void Interrupt() override { m_waiting.Stop(); }

  private:
    std::wstring m_strPath;
    CPipeEnd m_waiting;
    HANDLE m_hSpare;
};

bool ReadReply(HANDLE hPipe, std::string* reply) {
    char buffer[kReadChunk];
    for (;;) {
        DWORD ulRead = 0;
        if (!ReadFile(hPipe, buffer, sizeof(buffer), &ulRead, nullptr) &&
            GetLastError() != ERROR_MORE_DATA) {
            return false;
        }
        if (ulRead == 0) return false;
        reply->append(buffer, ulRead);
        size_t nEnd = reply->find(kReplyEnd);
        if (nEnd != std::string::npos) {
            reply->resize(nEnd + kReplyEnd.size());
            return true;
        }
    }
}

// Opens the pipe as a client; while every instance is taken, waits for a free one.
HANDLE OpenAsClient(const std::wstring& path) {
    for (;;) {
        HANDLE hPipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (hPipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) return hPipe;
        if (!WaitNamedPipeW(path.c_str(), kFreeInstanceWaitMs)) return INVALID_HANDLE_VALUE;
    }
}

}  // namespace

std::string ServiceAddress(const std::string& runDir) {
    return "\\\\.\\pipe\\" + tnl::ServicePipeName(runDir);
}

std::unique_ptr<IServiceListener> ListenForClients(const std::string& runDir) {
    std::wstring strPath = Wide(ServiceAddress(runDir));
    HANDLE hFirst = CreateInstance(strPath, true);
    if (hFirst == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<CPipeListener>(std::move(strPath), hFirst);
}

bool SendServiceRequest(const std::string& runDir, const std::string& request, std::string* reply) {
    reply->clear();
    HANDLE hPipe = OpenAsClient(Wide(ServiceAddress(runDir)));
    if (hPipe == INVALID_HANDLE_VALUE) return false;
    DWORD ulWritten = 0;
    bool bOk =
        WriteFile(hPipe, request.data(), static_cast<DWORD>(request.size()), &ulWritten, nullptr) &&
        ulWritten == request.size() && ReadReply(hPipe, reply);
    CloseHandle(hPipe);
    return bOk;
}

}  // namespace tnl_fake
