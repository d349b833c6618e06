// What every tunnel operation shares: where it reports, the one lock around the tunnel
// library's link, and the waits between its steps.
#pragma once

#include <mutex>
#include <string>

// Reports go to the main window: the status text (WM_USER+6) and a message box (WM_USER+8),
// both with text already looked up by key. Any thread; the message box waits for the user.
class ITunnelReport {
public:
    virtual ~ITunnelReport() = default;
    virtual void ShowStatusText(const std::string& text) = 0;
    virtual void ShowErrorText(const std::string& text) = 0;
};

// The tunnel library keeps no lock, and the set-up thread, the pass-through, the settings page
// and the removal at exit all open and close its link: each holds this lock from its connect to
// its disconnect (and around the control program runs between them).
std::recursive_mutex& TunnelLock();

// Sleeps for a wait of the tunnel operations, scaled by the percentage below.
void TunnelWait(unsigned nMs);
// 100 by default; tests shorten every wait at once.
void SetTunnelWaitPercent(unsigned nPercent);
