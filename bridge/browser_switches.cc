// The command line of the browser that shows the program's pages.
#include "bridge/browser_switches.h"

#include <cstdio>
#include <string_view>

#include "platform/file_system.h"
#include "support/xml_markup.h"

namespace {

constexpr std::string_view kFlashMarker = "pepflashplayer32";

// Chrome and the browsers built on Chromium understand its switches and app mode.
bool IsChromiumFamily(const std::string& strName, const std::string& strPath) {
    if (strName == "Chrome" || strName == "Edge" || strName == "Opera") return true;
    const std::string file = xml::ToLowerAscii(platform::FileNameOf(strPath));
    for (std::string_view key : {"chrom", "edge", "opera", "brave", "vivaldi"}) {
        if (file.find(key) != std::string::npos) return true;
    }
    return false;
}

bool IsFirefox(const std::string& strName, const std::string& strPath) {
    return strName == "Firefox" ||
           xml::ToLowerAscii(platform::FileNameOf(strPath)).find("firefox") != std::string::npos;
}

}  // namespace

std::vector<std::string> FlashPluginSwitches(const std::string& strProgramDir) {
    std::vector<std::string> names;
    if (!platform::ListDirectory(strProgramDir, &names)) return {};
    for (const std::string& name : names) {
        if (name.find(kFlashMarker) == std::string::npos) continue;
        int a = 0, b = 0, c = 0, d = 0;
        if (std::sscanf(name.c_str(), "pepflashplayer32_%d_%d_%d_%d.dll", &a, &b, &c, &d) != 4)
            return {};
        const std::string version = std::to_string(a) + "." + std::to_string(b) + "." +
                                    std::to_string(c) + "." + std::to_string(d);
        return {"--register-pepper-plugins=" + name, "--ppapi-flash-path=" + name,
                "--ppapi-flash-version=" + version};
    }
    return {};
}

platform::CSpawnRequest BuildUiBrowserLaunch(const std::string& strBrowserName,
                                             const std::string& strBrowserPath,
                                             const std::string& strUrl,
                                             const std::string& strProgramDir,
                                             const std::string& strProfileDir) {
    platform::CSpawnRequest request;
    request.strProgram = strBrowserPath;
    request.env = {{"ComSpec", platform::JoinPath(strProgramDir, "dummy_cmd.exe")}};
    if (IsChromiumFamily(strBrowserName, strBrowserPath)) {
        request.args = {"--app=" + strUrl,      "--user-data-dir=" + strProfileDir,
                        "--disable-extensions", "--no-proxy-server",
                        "--no-first-run",       "--no-default-browser-check"};
        const std::vector<std::string> flash = FlashPluginSwitches(strProgramDir);
        request.args.insert(request.args.end(), flash.begin(), flash.end());
        // The flash switches name the plug-in by its file name in the program directory.
        if (!flash.empty()) request.strWorkingDir = strProgramDir;
    } else if (IsFirefox(strBrowserName, strBrowserPath)) {
        request.args = {"--new-window", strUrl};
    } else {
        request.args = {strUrl};
    }
    return request;
}
