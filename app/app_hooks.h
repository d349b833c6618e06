// Steps of start-up, of the main window and of shutdown whose work belongs to the virtual port,
// branding and update subsystems. The program calls them at their place in the order; until
// those subsystems fill them in, CNoAppHooks stands in and each step does nothing.
#pragma once

class CMainFrame;
class IUserDialogs;

class IAppHooks {
public:
    virtual ~IAppHooks() = default;
    // Branding import from the certificate package (start-up, when oem is not 0). A negative
    // result ends the program; setting g_bRestartAfterImport asks for a restart.
    virtual int ImportBranding(IUserDialogs& dialogs) = 0;
    // The panel editor's settings (hmi.xml).
    virtual void LoadHmiSettings() = 0;
    // Starts the virtual port set-up thread (the window's WM_USER+7); does not wait for it.
    virtual void StartVirtualPortSetup(CMainFrame& frame) = 0;
    // The set-up thread's ready flag: the settings page stays closed while it is false.
    virtual bool IsVirtualPortReady() const = 0;
    // The virtual port settings page, modal (command 0x8008).
    virtual void ShowSettingsPage(CMainFrame& frame) = 0;
    // Close command: whether a pass-through is active, and switching the virtual port feature
    // off through the tunnel service (uninstall and disable).
    virtual bool IsPassThroughActive() = 0;
    virtual void SwitchVirtualPortOff() = 0;
    // After the main loop: removes the virtual port (at most four tries).
    virtual void RemoveVirtualPort() = 0;
    // The update check: at start-up (mode 0 and oem 0), and from the about box's button, which
    // reports "is_up_to_date" when there is nothing newer.
    virtual void CheckForUpdates(CMainFrame& frame, bool bFromAboutBox) = 0;
    // Shutdown, when g_bRestartAfterImport is set: starts the program again.
    virtual void RestartProgram() = 0;
};

// Every step does nothing: no branding, no virtual port, no update check.
class CNoAppHooks final : public IAppHooks {
public:
    int ImportBranding(IUserDialogs&) override { return 0; }
    void LoadHmiSettings() override {}
    void StartVirtualPortSetup(CMainFrame&) override {}
    bool IsVirtualPortReady() const override { return true; }
    void ShowSettingsPage(CMainFrame&) override {}
    bool IsPassThroughActive() override { return false; }
    void SwitchVirtualPortOff() override {}
    void RemoveVirtualPort() override {}
    void CheckForUpdates(CMainFrame&, bool) override {}
    void RestartProgram() override {}
};
