// The process-wide settings record and its file "SoftLang.ini" (section "HMI") in the program
// directory, plus the small data sources beside it: the server list, the remembered Wi-Fi list
// and the release log that holds the program's version.
#pragma once

#include <string>
#include <vector>

// Time zone of the workstation, filled at start.
struct CTimeZoneInfo {
    int nBias = 0;               // minutes west of UTC
    std::string strStandardName;  // Windows standard name, e.g. "China Standard Time"
    std::string strDaylightName;
};

struct CAppSettings {
    int nOem = 1;
    int nLogSeverity = 99;
    int nAppMode = 0;
    int nTp = 0;
    int nServer = 0;
    std::string strBrowser = "Chrome";
    std::string szLang = "en";
    std::string szRep = "box";
    std::string strVirCom = "COM2";
    std::string szName = "ZELVO";
    std::string szComp;

    // Not stored in the settings file.
    std::string strTunnelHost = "localhost";
    std::string strTunnelPort = "5001";
    std::string strSerialParams = "9600,N,8,1";
    std::string strServerList;  // server names separated by U+0002
    CTimeZoneInfo tzInfo;

    // Update server ("UpdateInfo.ini", section "ORVAN"), read when nAppMode is 0.
    std::string strReqUrl;
    std::string strReqServer;
    std::string strReqPath = "/software/checkUpdate";
    int nReqPort = 18081;
    // The DNS resolver (dotted IPv4) that resolves strReqServer when it is a name.
    std::string strDnsServer = "127.0.0.1";
    int nDnsPort = 53;
};

extern CAppSettings g_appSettings;
extern int g_bFirstRun;             // key "first"
extern unsigned short g_wLangId;    // key "langID"
extern int g_bRestartAfterImport;   // set by the branding import

// The server-list separator (U+0002), also the field separator of several page commands.
inline constexpr const char* kFieldSeparator = "\x02";

// Buffer sizes (in characters) of the string keys; a value keeps one character less.
inline constexpr size_t kBrowserBufferSize = 64;
inline constexpr size_t kShortBufferSize = 32;
inline constexpr size_t kNameBufferSize = 64;
inline constexpr size_t kCurServerBufferSize = 256;

// Path of "SoftLang.ini" in the program directory.
std::string GetSettingsPath();

// Reads the whole settings file into g_appSettings (missing keys take their defaults), builds
// the server list and, when mode is 0, reads the update server settings.
void LoadSettings();
// The settings file's keys and the server list into *pSettings, *pFirstRun ("first") and
// *pLangId ("langID"), leaving the process-wide record alone (the pages read the file afresh
// on every load without disturbing the threads that use the record).
void ReadSettingsFile(CAppSettings* pSettings, int* pFirstRun, unsigned short* pLangId);

// Writes name, rep, bro, tp, server, VirCom and comp (in this order) from g_appSettings.
void SaveSettings();

// Key "curserver", read from the file at the moment of the call.
std::string ReadCurrentServer();

// Clears the first-run flag and writes "0" to key "first" when the flag is 1.
void ClearFirstRunFlag();

// Server profile names: the "Servers/*.xml" files in directory order, without ".xml".
std::vector<std::string> ListServerProfiles(const std::string& programDir);
// The same names separated by U+0002, as the page takes them.
std::string BuildServerList(const std::string& programDir);

// "WifiList.xml" in the program directory. Both return 0, or -1 when the file cannot be
// loaded, has no WifiList root or (ForgetWifi) holds no such network.
int RememberWifi(const std::string& name, const std::string& password);
int ForgetWifi(const std::string& name);

// From "ReleaseLog.log": HMISet/Hmi attribute Help_Ch.
// The text from its first "V" to the end, empty when that "V" is the first character.
std::string GetSoftwareVersion();
// The numbers after the last "V" as "%d.%d.%d"; empty when the file or elements are missing.
std::string GetSoftwareVersionNumber();
