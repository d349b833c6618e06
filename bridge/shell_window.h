// What the shell (the frontend's main window: caption buttons, frame buttons, about box) asks
// of the main window. Every call runs on the UI thread.
#pragma once

#include <string>

// Commands of the caption buttons.
inline constexpr int kCmdAboutBox = 0x8004;
inline constexpr int kCmdShowHomePage = 0x8006;
inline constexpr int kCmdShowFirstPage = 0x8007;
inline constexpr int kCmdSettingsPage = 0x8008;

class IShellWindow {
public:
    virtual ~IShellWindow() = default;
    // A caption button: one of the kCmd values above; others are ignored.
    virtual void OnCommand(int nCommandId) = 0;
    // The frame's close button, or a termination request.
    virtual void OnCloseCommand() = 0;
    // The about box's update button.
    virtual void OnCheckForUpdates() = 0;
    // The page the view shows: a path in the program directory or an address.
    virtual std::string GetCurrentPage() const = 0;
};
