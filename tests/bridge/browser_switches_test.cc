#include "bridge/browser_switches.h"

#include <gtest/gtest.h>

#include "tests/fakes/temp_program_dir.h"

namespace {

using Args = std::vector<std::string>;

TEST(BrowserSwitchesTest, FlashSwitchesOnlyForAVersionedPluginFile) {
    const std::pair<const char*, Args> cases[] = {
        {"pepflashplayer32_32_0_0_371.dll",
         {"--register-pepper-plugins=pepflashplayer32_32_0_0_371.dll",
          "--ppapi-flash-path=pepflashplayer32_32_0_0_371.dll",
          "--ppapi-flash-version=32.0.0.371"}},
        {"pepflashplayer32.dll", {}},
    };
    for (const auto& [file, expected] : cases) {
        CTempProgramDir dir;
        dir.WriteFile(file, "");
        EXPECT_EQ(FlashPluginSwitches(dir.Path()), expected) << file;
    }
}

TEST(BrowserSwitchesTest, LaunchArgumentsByBrowserFamily) {
    CTempProgramDir dir;
    const std::string url = "http://127.0.0.1:4000/?t=abc";
    const Args chromium = {"--app=" + url,         "--user-data-dir=/p/profile",
                           "--disable-extensions", "--no-proxy-server",
                           "--no-first-run",       "--no-default-browser-check"};
    const std::tuple<const char*, const char*, Args> cases[] = {
        {"Chrome", "/usr/bin/chromium", chromium},
        {"Edge", "/usr/bin/microsoft-edge", chromium},
        {"", "/opt/brave.com/brave/brave-browser", chromium},
        {"Firefox", "/usr/bin/firefox-esr", {"--new-window", url}},
        {"", "/usr/bin/epiphany", {url}},
    };
    for (const auto& [name, path, args] : cases) {
        const platform::CSpawnRequest request =
            BuildUiBrowserLaunch(name, path, url, dir.Path(), "/p/profile");
        EXPECT_EQ(request.strProgram, path);
        EXPECT_EQ(request.args, args) << path;
        using Env = decltype(request.env);
        EXPECT_EQ(request.env, (Env{{"ComSpec", dir.PathOf("dummy_cmd.exe")}}));
    }
    dir.WriteFile("pepflashplayer32_1_2_3_4.dll", "");
    const Args args =
        BuildUiBrowserLaunch("Chrome", "/usr/bin/chromium", url, dir.Path(), "/p/profile").args;
    EXPECT_EQ(args.size(), chromium.size() + 3);
    EXPECT_EQ(args.back(), "--ppapi-flash-version=1.2.3.4");
}

}  // namespace
