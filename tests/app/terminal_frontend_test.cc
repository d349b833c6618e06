#include "app/terminal_frontend.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/main_frame.h"
#include "bridge/command_state.h"
#include "bridge/script_text.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

TEST(TerminalFrontendTest, PageLinesArePrintedAsTheUserWroteThem) {
    const std::string line = "Box \"A\" <ok> \\ 100%\r\n\x01 网关 \u2028x\u2029";
    std::string back;
    ASSERT_TRUE(ExtractAddTextLine(MakeAddTextScript(line), &back));
    EXPECT_EQ(back, line);
    EXPECT_FALSE(ExtractAddTextLine("DisableOperate(true);", &back));
    // Script written by hand: escapes name code points; a broken one is shown, not fatal.
    const struct {
        const char* script;
        std::string line;
    } kCases[] = {
        {"AddText(\"a\\xZZ\");", "axZZ"},
        {"AddText(\"caf\\xE9\");", "caf\u00E9"},
        {"AddText(\"\\u2028|\\u4E2d\");", "\u2028|\u4E2D"},
        {"AddText(\"\\uD83D\\uDE00\");", "\U0001F600"},
        {"AddText(\"\\uD83Dx\\u12\");", "\uFFFDxu12"},
    };
    for (const auto& c : kCases) {
        ASSERT_TRUE(ExtractAddTextLine(c.script, &back));
        EXPECT_EQ(back, c.line) << c.script;
    }
}

TEST(TerminalFrontendTest, CommandLinesReachTheDispatcherAndDialogsReadTheNextLine) {
    CTempProgramDir dir;
    CFakeBoxServices box;
    CMainFrame frame(box.Services());
    std::istringstream in("22 Tokyo Standard Time\n15 pw\n/tmp/out\nstate\nquit\n6\n");
    std::ostringstream out;
    CTerminalFrontend terminal(in, out, false);
    frame.AttachPage(&terminal);
    frame.AttachDialogs(&terminal);
    EXPECT_EQ(terminal.Run(frame), 0);
    EXPECT_EQ(g_strTimeZone, "Tokyo Standard Time");
    EXPECT_EQ(g_szTransferPath, "/tmp/out.zcpj");
    EXPECT_EQ(g_nPendingCmd, 15);  // "quit" stopped before the 6
    EXPECT_NE(out.str().find("pending 15, link USB:Download"), std::string::npos);
    frame.RunPageScript("Hello \\ there", kScriptRawLine);
    EXPECT_NE(out.str().find("Hello \\ there\n"), std::string::npos);
}

TEST(TerminalFrontendTest, QuestionsAreAnsweredOnTheTerminalOrByTheYesOption) {
    std::istringstream in("n\ny\n");
    std::ostringstream out;
    CTerminalFrontend ask(in, out, false);
    EXPECT_FALSE(ask.ShowMessageBox("Update?", "Notice", MessageBoxStyle::kYesNo, 1033));
    EXPECT_TRUE(ask.ShowMessageBox("Update?", "Notice", MessageBoxStyle::kYesNo, 1033));
    EXPECT_FALSE(ask.ShowMessageBox("Update?", "Notice", MessageBoxStyle::kYesNo, 1033));  // EOF
    std::istringstream none("");
    CTerminalFrontend yes(none, out, true);
    EXPECT_TRUE(yes.ShowMessageBox("Update?", "Notice", MessageBoxStyle::kYesNo, 1033));
    EXPECT_NE(out.str().find("[Notice] Update?"), std::string::npos);
}

}  // namespace
