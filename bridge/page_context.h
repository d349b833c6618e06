// What every page of the program finds when it loads: the script object app with its one
// native function, and the global variables that carry the program's settings, read afresh from
// the settings file for each load. The web host serves both as /app.js.
#pragma once

#include <string>

// The name and source text of the script extension that defines app.jsInvokeCPlusPlus.
inline constexpr const char* kAppExtensionName = "v8/app";
inline constexpr const char* kAppExtensionSource =
    "var app;if (!app)  app = {};(function() {  app.jsInvokeCPlusPlus = function(v1, v2) {    "
    "native function jsInvokeCPlusPlus();    return jsInvokeCPlusPlus(v1, v2);  };})();";

// The global variables of a page, in the order they are set.
struct CPageContext {
    std::string jsValue = "C++ created Value!";
    std::string CurrentAppLang;
    int nOem = 0;
    int nAppMode = 0;
    int nFirst = 0;
    std::string nRep;
    std::string nTimeZone;  // Windows standard-time name of the workstation's zone
    std::string szServerList;
    std::string curserver;
    std::string CurVirCom;  // "<VirCom>: Virtual Serial Port", empty when VirCom is empty
    std::string CurSoftVer;
};

// Reads the settings file, the current server and the version for one page load.
// strTimeZoneName is the workstation's zone, read once at start.
CPageContext ReadPageContext(const std::string& strTimeZoneName);

// The script a page loads first: the extension's text with its native function carried by a
// synchronous request to the host, the variables of context, and myobject.
std::string BuildAppScript(const CPageContext& context);
