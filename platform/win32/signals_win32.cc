// Ctrl+C, Ctrl+Break and the console's close, log-off and shut-down events. The system calls
// the control handler on a thread of its own, so onRequest runs there, never in the thread that
// was interrupted.
#include <windows.h>

#include <atomic>

#include "platform/signals.h"

namespace platform {

namespace {

std::function<void()> g_onRequest;
std::atomic<bool> g_bRequested{false};

BOOL WINAPI OnControlEvent(DWORD ulEvent) {
    // A second request means the first did not end the program soon enough: the default
    // handler then ends the process.
    if (g_bRequested.exchange(true)) return FALSE;
    g_onRequest();
    // After a close, log-off or shut-down event the system ends the process as soon as the
    // handler returns; waiting here gives the program its time to end by itself.
    if (ulEvent != CTRL_C_EVENT && ulEvent != CTRL_BREAK_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void HandleTerminationRequests(std::function<void()> onRequest) {
    g_onRequest = std::move(onRequest);
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

}  // namespace platform
