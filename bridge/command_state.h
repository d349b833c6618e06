// The command state shared by the dispatcher, the command worker and the main window. Every
// field is read and written only with g_hCmdMutex held.
#pragma once

#include <mutex>
#include <string>

// The command lock. Recursive, as the system mutex it stands for: the owning thread may take it
// again (a page switch that runs script while it holds the lock).
extern std::recursive_mutex g_hCmdMutex;

extern int g_nPendingCmd;            // -1 = none
extern int g_bNeedDetect;            // identify the box on the next good link cycle
extern int g_bDetectFailShown;       // the link failure message was shown
extern unsigned g_nOpenFailCount;    // failed openings since the last report
extern int g_bOfferUpload;           // offer the local setup.xml on the next cycle
extern std::string g_strLinkType;    // "USB:Download" or "LocalNetwork"
extern std::string g_strBoxAddr;     // IP address for "LocalNetwork"
extern std::string g_szTransferPath;  // local file of the next transfer
extern std::string g_strUploadPassword;  // 8-bit password of an upload from the box
extern std::string g_strTimeZone;
extern int g_nBoxMode;
extern int g_nDiscoverArg;
extern std::string g_strHmiType;
extern std::string g_strBoxSN;

inline constexpr int kNoCommand = -1;
inline constexpr int kCmdAfterPageSwitch = 30;
inline constexpr const char* kLinkUsb = "USB:Download";
inline constexpr const char* kLinkLan = "LocalNetwork";
// Longest local path a transfer accepts, in characters (a buffer of 260 with its terminator).
inline constexpr size_t kMaxPathChars = 259;

// The values the state has when the program is loaded.
void ResetCommandStateForLoad();
// The values set when the main window is constructed.
void InitCommandStateForMainWindow();

// The command number at the start of a text, as the C library's wide-to-integer conversion
// reads it: leading blanks and a sign allowed, no digits gives 0.
int ReadCommandNumber(const std::string& text);
