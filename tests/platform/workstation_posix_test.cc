// The Linux answers about the clipboard and shortcuts: the desktop's clipboard tools (fakes on
// PATH) and desktop entries in a folder of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "platform/shortcuts.h"
#include "tests/fakes/test_env.h"

namespace {

using platform::JoinPath;

TEST(WorkstationPosixTest, ClipboardToolOfTheRunningDesktopTakesTheText) {
    const std::string dir = platform::MakeTempDirectory("zelvo_clip");
    for (const char* szTool : {"wl-copy", "xclip"}) {
        const std::string tool = JoinPath(dir, szTool);
        platform::WriteFileAtomic(tool, "#!/bin/sh\n{ echo \"$0 $*\"; /bin/cat; } > " +
                                            JoinPath(dir, "got") + "\n");
        chmod(tool.c_str(), 0755);
    }
    const struct {
        const char* szWayland;  // nullptr: not set
        const char* szDisplay;
        const char* szPath;     // below dir
        const char* szGot;      // nullptr: no clipboard
    } cases[] = {
        {"wayland-0", ":0", "", "wl-copy \n"},
        {nullptr, ":0", "", "xclip -selection clipboard\n"},
        {"wayland-0", nullptr, "none", nullptr},
        {nullptr, nullptr, "", nullptr},
    };
    for (const auto& c : cases) {
        platform::RemoveFile(JoinPath(dir, "got"));
        CScopedVariable path("PATH", JoinPath(dir, c.szPath));
        CScopedVariable wayland("WAYLAND_DISPLAY", c.szWayland ? c.szWayland : "");
        CScopedVariable display("DISPLAY", c.szDisplay ? c.szDisplay : "");
        if (!c.szWayland) UnsetTestVariable("WAYLAND_DISPLAY");
        if (!c.szDisplay) UnsetTestVariable("DISPLAY");
        EXPECT_EQ(platform::SetClipboardText("a\nb \xE2\x9C\x93"), c.szGot != nullptr);
        std::string got;
        platform::ReadFileBytes(JoinPath(dir, "got"), &got);
        EXPECT_EQ(got, c.szGot ? JoinPath(dir, c.szGot) + "a\nb \xE2\x9C\x93" : "") << c.szPath;
    }
    platform::RemoveDirectoryTree(dir);
}

TEST(WorkstationPosixTest, DesktopEntryTakesTheIconOnlyWhenItStartsTheProgram) {
    const std::string dir = platform::MakeTempDirectory("zelvo_entries");
    const std::string entry = JoinPath(dir, "tool.desktop");
    const struct {
        const char* szContent;
        const char* szIcon;
        const char* szExpected;
    } cases[] = {
        {"[Desktop Entry]\nExec=\"/opt/my tool\" %u\nIcon=old\n", "/i.ico",
         "[Desktop Entry]\nExec=\"/opt/my tool\" %u\nIcon=/i.ico\n"},
        {"[Desktop Entry]\nExec=/opt/my\n", "/i.ico",
         "[Desktop Entry]\nIcon=/i.ico\nExec=/opt/my\n"},
        {"[Desktop Entry]\nExec=/opt/other\nIcon=old\n", "/i.ico", nullptr},
        {"[Other]\nExec=/opt/my\n", "/i.ico", nullptr},
        {"[Desktop Entry]\nExec=/opt/my\nIcon=old\n", "", nullptr},
    };
    for (const auto& c : cases) {
        platform::WriteFileAtomic(entry, c.szContent);
        const bool bQuoted = std::string(c.szContent).find('"') != std::string::npos;
        platform::UpdateShortcutIcon(entry, c.szIcon, bQuoted ? "/opt/my tool" : "/opt/my");
        std::string content;
        platform::ReadFileBytes(entry, &content);
        EXPECT_EQ(content, c.szExpected ? c.szExpected : c.szContent) << c.szContent;
    }
    // The tool-named entry is a link to the program; something of that name already is kept.
    const std::string program = JoinPath(dir, "zelvo");
    platform::PlaceToolProgramEntry(program, platform::ToolProgramEntry(dir, "Acme"));
    std::string target;
    EXPECT_TRUE(platform::ReadSymbolicLink(JoinPath(dir, "Acme"), &target) && target == program);
    platform::PlaceToolProgramEntry(program, entry);
    EXPECT_FALSE(platform::ReadSymbolicLink(entry, &target));
    platform::RemoveDirectoryTree(dir);
}

}  // namespace
