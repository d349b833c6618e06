#include "app/terminal_frontend.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

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

// A form with a list, a check box and a table; it records its actions and closes on "done".
class CPickForm : public IFormModel {
public:
    CFormView DescribeForm() const override {
        CFormView view;
        view.strTitle = "Pick";
        view.controls.resize(4);
        view.controls[0] = MakeControl("grp", EFormControl::kGroup, "Port");
        view.controls[1] = MakeControl("lst", EFormControl::kList, "");
        view.controls[1].items = {"COM2", "COM3"};
        view.controls[1].nSelected = nSelected;
        view.controls[2] = MakeControl("chk", EFormControl::kCheck, "Remove");
        view.controls[2].bChecked = bChecked;
        view.controls[2].bEnabled = false;
        view.controls[3] = MakeControl("tbl", EFormControl::kTable, "");
        view.controls[3].columns = {"", "Version"};
        view.controls[3].rows = {{"1", "V2"}};
        return view;
    }
    bool OnFormAction(const std::string& strControl, const std::string& strValue) override {
        actions.push_back(strControl + "=" + strValue);
        if (strControl == "lst") nSelected = std::stoi(strValue);
        if (strControl == "chk") bChecked = strValue == "1";
        return strControl != "done" && strControl != kFormCloseAction;
    }
    static CFormControl MakeControl(const char* szId, EFormControl eKind, const char* szCaption) {
        CFormControl control;
        control.strId = szId;
        control.eKind = eKind;
        control.strCaption = szCaption;
        return control;
    }
    int nSelected = -1;
    bool bChecked = false;
    std::vector<std::string> actions;
};

TEST(TerminalFrontendTest, FormsAndFoldersAreAnsweredOnTheTerminal) {
    std::istringstream in("lst 1\nbogus 3\nchk 1\nclose\n/srv/data/\n\nlst 0\n");
    std::ostringstream out;
    CTerminalFrontend terminal(in, out, true);
    CPickForm form;
    terminal.RunModalForm(form);
    EXPECT_EQ(form.actions, (std::vector<std::string>{"lst=1", "chk=1", "close="}));
    EXPECT_NE(out.str().find("[form] Pick\n  grp group: Port\n    lst list: [0] COM2  *[1] COM3\n"
                             "    chk check [x]: Remove (disabled)\n    tbl table:  | Version\n"
                             "      [0] 1 | V2\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("unknown control: bogus"), std::string::npos);
    std::string folder;
    EXPECT_TRUE(terminal.ChooseFolder("Editor", &folder));
    EXPECT_EQ(folder, "/srv/data");
    EXPECT_FALSE(terminal.ChooseFolder("Editor", &folder));  // empty line: cancelled
    CPickForm cut;  // the input ends: the form is closed
    terminal.RunModalForm(cut);
    EXPECT_EQ(cut.actions, (std::vector<std::string>{"lst=0", "close="}));
}

}  // namespace

// Input that arrives line by line, as a person types it.
class CTypedInput : public std::streambuf {
public:
    void Type(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending += text;
        m_typed.notify_all();
    }

protected:
    int_type underflow() override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_typed.wait(lock, [this] { return !m_pending.empty(); });
        m_current.swap(m_pending);
        m_pending.clear();
        setg(m_current.data(), m_current.data(), m_current.data() + m_current.size());
        return traits_type::to_int_type(m_current[0]);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_typed;
    std::string m_pending;
    std::string m_current;
};

// Output that another thread may read while the terminal writes.
class CSharedOutput : public std::streambuf {
public:
    std::string Text() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }
    bool Shows(const std::string& part) { return Text().find(part) != std::string::npos; }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.append(s, static_cast<size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) xsputn(reinterpret_cast<const char*>(&c), 1);
        return c;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

TEST(TerminalFrontendTest, WorkerQuestionTakesTheNextTypedLineNotACommand) {
    CTempProgramDir dir;
    CFakeBoxServices box;
    CMainFrame frame(box.Services());
    CTypedInput typed;
    std::istream in(&typed);
    CSharedOutput shared;
    std::ostream out(&shared);
    CTerminalFrontend terminal(in, out, false);
    std::thread reader([&] { terminal.Run(frame); });
    typed.Type("state\n");
    // Once the reader has taken "state" it waits for the next line; a question from the worker
    // thread is then open before "y" arrives.
    while (!shared.Shows("pending")) std::this_thread::yield();
    std::thread worker([&] {
        EXPECT_TRUE(terminal.ShowMessageBox("Update?", "Notice", MessageBoxStyle::kYesNo, 1033));
    });
    while (!shared.Shows("(y/n)")) std::this_thread::yield();
    typed.Type("y\n");
    worker.join();
    typed.Type("quit\n");
    reader.join();
    EXPECT_FALSE(shared.Shows("unknown input"));  // "y" was no page command
}
