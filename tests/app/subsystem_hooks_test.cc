// The program's branding and update steps with the real subsystems: a first start without a
// package asks for one, installs it and restarts once through the launcher entry with the
// options it was started with; the next start runs normally. The box command line needs a
// readable package or --cert. The about box's update check reports an unreachable server as
// nothing newer.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/box_cli.h"
#include "app/main_frame.h"
#include "app/subsystem_hooks.h"
#include "package/branding_import.h"
#include "package/package_writer.h"
#include "platform/thread_util.h"
#include "support/settings.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"
#include "tests/fakes/test_env.h"

namespace {

const char kCompany[] = R"({"company_name_zh": "Acme", "tool_name": "AcmeTool"})";

class SubsystemHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTestVariable("XDG_DESKTOP_DIR", m_dir.PathOf("desktop"));
        SetTestVariable("XDG_DATA_HOME", m_dir.PathOf("data"));
        std::string bytes;
        ASSERT_EQ(BuildPackage(CPackageKeying{}, {{"company.info", kCompany}}, &bytes), 0);
        m_dir.WriteFile("chosen/good.ce", bytes);
        m_dir.WriteFile("chosen/bad.ce", bytes.substr(0, bytes.size() - 1));
        // The tool names an import here may leave: the packages' and the program's own.
        for (const std::string& strTool : {std::string("AcmeTool"), CAppSettings().szName})
            m_dir.KeepProgramFromTool(strTool);
    }
    void TearDown() override {
        UnsetTestVariable("XDG_DESKTOP_DIR");
        UnsetTestVariable("XDG_DATA_HOME");
        g_bRestartAfterImport = 0;
    }
    // Waits for a file that another process writes; empty when it does not come.
    std::string WaitForFile(const std::string& strName) {
        for (int i = 0; i < 1000 && !m_dir.Exists(strName); ++i) platform::SleepMs(10);
        platform::SleepMs(20);
        return m_dir.ReadFile(strName);
    }

    CTempProgramDir m_dir;
};

TEST_F(SubsystemHooksTest, FirstStartAsksRestartsOnceThenRunsNormally) {
#ifdef _WIN32
    GTEST_SKIP() << "the launcher entry that the restart starts is a shell script here";
#endif
    // The launcher entry is a script here: it records how the restart started it.
    m_dir.WriteFile("AcmeTool",
                    "#!/bin/sh\necho \"$@\" > restarted.tmp && mv restarted.tmp restarted\n");
    std::filesystem::permissions(m_dir.PathOf("AcmeTool"), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    CSubsystemHooks hooks({"--dir", m_dir.Path(), "--no-browser"});
    CScriptedDialogs dialogs;
    dialogs.AnswerNextFileDialog(m_dir.PathOf("chosen/good.ce"));

    ASSERT_EQ(hooks.ImportBranding(dialogs), 0);
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.fileRequests[0].strFilter, "Cert File(*.ce)|*.ce||");
    EXPECT_EQ(g_bRestartAfterImport, 1);
    hooks.RestartProgram();
    EXPECT_EQ(WaitForFile("restarted"), "--dir " + m_dir.Path() + " --no-browser\n");

    g_bRestartAfterImport = 0;
    EXPECT_EQ(hooks.ImportBranding(dialogs), 0);
    EXPECT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(g_bRestartAfterImport, 0);
    EXPECT_EQ(g_appSettings.szName, "AcmeTool");
}

TEST_F(SubsystemHooksTest, BoxCommandLineNeedsAReadablePackage) {
    m_dir.WriteStrings("cert_missing=no package\ncert_import_error=unreadable\n");
    const struct {
        const char* szCert;
        const char* szError;
    } cases[] = {{"", "no package"}, {"chosen/bad.ce", "unreadable"}, {"chosen/good.ce", ""}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--program-dir", m_dir.Path()};
        if (*c.szCert != '\0') args.insert(args.end(), {"--cert", m_dir.PathOf(c.szCert)});
        // Nothing listens there: with a package the run gets as far as the connection.
        args.insert(args.end(), {"--address", "127.0.0.254", "light"});
        std::ostringstream out, err;
        EXPECT_EQ(RunBoxCli(args, out, err), 1) << c.szCert;
        if (*c.szError != '\0') {
            EXPECT_NE(err.str().find(c.szError), std::string::npos) << err.str();
        } else {
            EXPECT_EQ(err.str().find("no package"), std::string::npos) << err.str();
        }
        EXPECT_EQ(m_dir.Exists(kPackageFileName), *c.szError == '\0') << c.szCert;
    }
    EXPECT_EQ(g_appSettings.szName, "AcmeTool");
}

TEST_F(SubsystemHooksTest, AboutBoxReportsNothingNewerWhenTheServerDoesNotAnswer) {
    m_dir.WriteStrings("is_up_to_date=up to date\n");
    g_appSettings.strReqServer = "127.0.0.1";
    g_appSettings.nReqPort = 9;  // nothing listens there: the connection is refused
    CSubsystemHooks hooks;
    CFakeBoxServices box;
    CMainFrame frame(box.Services(), {}, &hooks);
    CScriptedDialogs dialogs;
    frame.AttachDialogs(&dialogs);
    hooks.CheckForUpdates(frame, false);  // at start-up nothing is said
    EXPECT_TRUE(dialogs.messages.empty());
    frame.OnCheckForUpdates();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].strText, "up to date");
    frame.AttachDialogs(nullptr);
}

}  // namespace
