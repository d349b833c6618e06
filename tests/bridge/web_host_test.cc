// The web host over real loopback HTTP: its access rules, what it serves, the page's native
// call, the ordered script stream, a question answered from the page, modal forms driven from
// the page and the folder picker.
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <thread>

#include "app/main_frame.h"
#include "bridge/command_state.h"
#include "bridge/web_host.h"
#include "platform/file_system.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

class WebHostTest : public ::testing::Test {
protected:
    WebHostTest() {
        dir.WriteFile("SoftLang.ini", "[HMI]\nVirCom=COM7\nlang=en\n");
        dir.WriteFile("html/first_page.html", "<html><body>tools</body></html>");
        dir.WriteFile("html/home.html", "home");
        dir.WriteFile("Skins/Default/set.png", "png");
        dir.WriteFile("title.ico", "ico");
        dir.WriteFile("ReleaseLog.log", "<HMISet><Hmi Help_Ch=\"Build V2.1.7\"/></HMISet>");
        dir.WriteStrings("alert_title=Notice\n");
        // A link out of html/, never to be followed. Windows makes links only with a privilege,
        // and Wine makes none: there the case may see a missing file instead.
#ifdef _WIN32
        platform::CreateSymbolicLink("../SoftLang.ini", dir.PathOf("html/escape.html"));
#else
        EXPECT_TRUE(platform::CreateSymbolicLink("../SoftLang.ini", dir.PathOf("html/escape.html")));
#endif
        EXPECT_TRUE(host.Start({dir.Path(), 0}));
        loopThread = std::thread([this] { loop.Run(); });
        // Until the loop runs, any thread counts as its thread: a form opened from another
        // thread before then would wait in a loop of its own that nothing wakes.
        std::promise<void> running;
        loop.Post([&running] { running.set_value(); });
        running.get_future().wait();
        token = host.GetUrl().substr(host.GetUrl().find("token=") + 6);
        client = std::make_unique<httplib::Client>("127.0.0.1", host.GetPort());
        client->set_default_headers({{"Cookie", "zelvo_token_" + Port() + "=" + token}});
    }
    ~WebHostTest() override {
        loop.Quit();
        loopThread.join();
        host.Stop();
    }
    std::string Port() const { return std::to_string(host.GetPort()); }
    int Status(const std::string& path, const httplib::Headers& headers = {}) {
        auto res = client->Get(path.c_str(), headers);
        return res ? res->status : -1;
    }
    std::string Body(const std::string& path) {
        auto res = client->Get(path.c_str());
        return res && res->status == 200 ? res->body : "";
    }
    std::string Invoke(const std::string& argsJson) {
        auto res = client->Post("/api/invoke", "{\"name\":\"jsInvokeCPlusPlus\",\"args\":" + argsJson + "}",
                               "application/json");
        return res ? res->body : "";
    }
    // Reads the event stream until it holds `count` events after `after`.
    std::vector<std::string> Events(size_t count, uint64_t after = 0) {
        httplib::Client reader("127.0.0.1", host.GetPort());
        reader.set_default_headers({{"Cookie", "zelvo_token_" + Port() + "=" + token}});
        std::string text;
        std::vector<std::string> events;
        reader.Get(("/api/events?after=" + std::to_string(after)).c_str(),
                   [&](const char* data, size_t length) {
                       text.append(data, length);
                       size_t pos;
                       while ((pos = text.find("\n\n")) != std::string::npos) {
                           const std::string block = text.substr(0, pos);
                           text.erase(0, pos + 2);
                           const size_t data_at = block.find("data: ");
                           if (data_at != std::string::npos) events.push_back(block.substr(data_at + 6));
                       }
                       return events.size() < count;
                   });
        return events;
    }
    int PostDialog(const std::string& body) {
        auto res = client->Post("/api/dialog", body, "application/json");
        return res ? res->status : -1;
    }
    void PageLoaded(const std::string& url) {
        client->Post("/api/page", "{\"url\":\"" + url + "\",\"instance\":\"a\",\"state\":\"loaded\"}",
                    "text/plain");
    }

    CTempProgramDir dir;
    CFakeBoxServices box;
    CUiLoop loop;
    CWebHost host{loop};
    CMainFrame frame{box.Services(), CWorkerTiming{0, 1, 0}};
    std::thread loopThread;
    std::string token;
    std::unique_ptr<httplib::Client> client;
};

}  // namespace

TEST_F(WebHostTest, AdmitsOnlyTokenHolderOnLoopbackHostAndOwnOrigin) {
    httplib::Client bare("127.0.0.1", host.GetPort());
    const std::string own = "http://127.0.0.1:" + Port();
    EXPECT_EQ(403, bare.Get("/html/home.html")->status);
    EXPECT_EQ(403, bare.Get("/html/home.html?token=0123")->status);
    EXPECT_EQ(200, bare.Get(("/html/home.html?token=" + token).c_str())->status);
    struct {
        httplib::Headers headers;
        int nStatus;
    } cases[] = {
        {{}, 200},
        {{{"Origin", own}}, 200},
        {{{"Origin", "http://evil.example"}}, 403},
        {{{"Origin", "http://127.0.0.1:1"}}, 403},
        {{{"Host", "localhost:" + Port()}}, 403},
        {{{"Host", "evil.example"}}, 403},
    };
    for (const auto& c : cases) EXPECT_EQ(c.nStatus, Status("/html/home.html", c.headers));

    auto entry = bare.Get(("/?token=" + token).c_str());
    ASSERT_TRUE(entry);
    EXPECT_EQ(302, entry->status);
    EXPECT_EQ("/html/shell.html", entry->get_header_value("Location"));
    const std::string cookie = entry->get_header_value("Set-Cookie");
    EXPECT_NE(std::string::npos, cookie.find("zelvo_token_" + Port() + "=" + token));
    EXPECT_NE(std::string::npos, cookie.find("HttpOnly"));
    EXPECT_NE(std::string::npos, cookie.find("SameSite=Strict"));
    EXPECT_EQ(64u, token.size());
}

TEST_F(WebHostTest, ServesOnlyHtmlSkinsAndTheTwoIcons) {
    EXPECT_NE(std::string::npos, Body("/html/first_page.html").find("tools"));
    EXPECT_EQ("png", Body("/Skins/Default/set.png"));
    EXPECT_EQ("ico", Body("/title.ico"));
    for (const char* path : {"/SoftLang.ini", "/html/../SoftLang.ini", "/html/%2e%2e/SoftLang.ini",
                             "/html/..%2fSoftLang.ini", "/Skins/%2e%2e/%2e%2e/etc/passwd",
                             "/html/escape.html", "/html//home.html", "/html/./home.html",
                             "/html/%5c..%5cSoftLang.ini", "/logo.ico", "/ReleaseLog.log",
                             "/api/setup.xml"}) {
        EXPECT_EQ(404, Status(path)) << path;
    }
    auto missing = client->Get("/html/missing.html");
    ASSERT_TRUE(missing);
    EXPECT_EQ("<html><body bgcolor=\"white\"><h2>Failed to load URL http://127.0.0.1:" + Port() +
                  "/html/missing.html with error ERR_FILE_NOT_FOUND (-6).</h2></body></html>",
              missing->body);
}

TEST_F(WebHostTest, AppScriptCarriesTheSettingsReadAtLoad) {
    std::string script = Body("/app.js");
    EXPECT_NE(std::string::npos, script.find("window.CurVirCom = \"COM7: Virtual Serial Port\";"));
    EXPECT_NE(std::string::npos, script.find("window.CurSoftVer = \"2.1.7\";"));
    EXPECT_NE(std::string::npos, script.find("app.jsInvokeCPlusPlus = function(v1, v2)"));
    dir.WriteFile("SoftLang.ini", "[HMI]\nVirCom=\n");
    script = Body("/app.js");
    EXPECT_NE(std::string::npos, script.find("window.CurVirCom = \"\";"));
}

TEST_F(WebHostTest, NativeCallAnswersVersionAndForwardsCommandsToTheMainLoop) {
    host.AttachWindow(&frame, &frame);
    EXPECT_EQ("{\"handled\":true,\"result\":{\"t\":\"s\",\"v\":\"V2.1.7\"}}",
              Invoke("[{\"t\":\"s\",\"v\":\"29\"},{\"t\":\"s\",\"v\":\"\"}]"));
    EXPECT_EQ("{\"handled\":true}", Invoke("[{\"t\":\"s\",\"v\":\"16\"},{\"t\":\"s\",\"v\":\"1\"}]"));
    // A script number 3 reads as command 0, whose empty field list fails to save: nothing pends.
    EXPECT_EQ("{\"handled\":true}", Invoke("[{\"t\":\"i\",\"v\":3},{\"t\":\"s\",\"v\":\"\"}]"));
    std::promise<void> drained;
    loop.Post([&] { drained.set_value(); });
    drained.get_future().wait();
    std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
    EXPECT_EQ(16, g_nPendingCmd);
    EXPECT_EQ(1, g_nBoxMode);
}

TEST_F(WebHostTest, ScriptsReachTheShownLoadedPageInOrder) {
    const std::string first = platform::JoinPath(dir.PathOf("html"), "first_page.html");
    host.ShowUrl(first, false);
    host.ExecuteScript("AddText(\"early\");", first, 0);  // still loading: dropped
    EXPECT_TRUE(host.IsLoading());
    PageLoaded("/html/first_page.html");
    EXPECT_FALSE(host.IsLoading());
    for (int i = 0; i < 3; ++i) host.ExecuteScript("AddText(\"" + std::to_string(i) + "\");", first, 0);
    host.ShowUrl("home.html", false);
    host.ExecuteScript("AddText(\"late\");", first, 0);  // another page shown: dropped
    host.ShowStatusText("ready");
    const auto events = Events(6);
    ASSERT_EQ(6u, events.size());
    EXPECT_EQ("{\"type\":\"navigate\",\"url\":\"/html/first_page.html\",\"reload\":false}", events[0]);
    EXPECT_NE(std::string::npos, events[1].find("AddText(\\\"0\\\");"));
    EXPECT_NE(std::string::npos, events[3].find("AddText(\\\"2\\\");"));
    EXPECT_EQ("{\"type\":\"navigate\",\"url\":\"/html/home.html\",\"reload\":false}", events[4]);
    EXPECT_EQ("{\"type\":\"status\",\"text\":\"ready\"}", events[5]);
}

TEST_F(WebHostTest, QuestionWaitsForTheAnswerFromThePage) {
    auto answer = std::async(std::launch::async, [&] {
        return host.ShowMessageBox("Update now?", "Notice", MessageBoxStyle::kYesNo, 1033);
    });
    const auto events = Events(1);
    ASSERT_EQ(1u, events.size());
    EXPECT_NE(std::string::npos, events[0].find("\"text\":\"Update now?\""));
    EXPECT_EQ(std::future_status::timeout, answer.wait_for(std::chrono::milliseconds(50)));
    EXPECT_NE(std::string::npos, Body("/api/state").find("Update now?"));
    EXPECT_EQ(404, Status("/api/files"));  // no file dialog open: no file listing
    client->Post("/api/dialog", "{\"id\":1,\"accepted\":true}", "application/json");
    EXPECT_TRUE(answer.get());
    // The machine code goes to the shell's copy box; the worker does not wait for it.
    EXPECT_TRUE(host.SetClipboardText("A1B2"));
    const auto after = Events(3);
    ASSERT_EQ(3u, after.size());
    EXPECT_EQ("{\"type\":\"dialog-closed\",\"id\":1}", after[1]);
    EXPECT_EQ("{\"type\":\"clipboard\",\"text\":\"A1B2\"}", after[2]);
}

namespace {

CFormControl Control(const std::string& strId, EFormControl eKind, const std::string& strCaption) {
    CFormControl control;
    control.strId = strId;
    control.eKind = eKind;
    control.strCaption = strCaption;
    return control;
}

// A form with a counter button, a button that opens a form inside it and one that asks a
// question; it records the actions it gets.
class CCountingForm : public IFormModel {
public:
    explicit CCountingForm(IUserDialogs& dialogs, std::string strTitle = "Count \"<1>\"\n")
        : m_dialogs(dialogs), m_strTitle(std::move(strTitle)) {}
    CFormView DescribeForm() const override {
        CFormView view{m_strTitle, {}};
        view.controls.push_back(Control("grp", EFormControl::kGroup, "Group"));
        CFormControl add = Control("add", EFormControl::kButton, "Add " + std::to_string(nCount));
        add.bEnabled = nCount < 2;
        view.controls.push_back(add);
        CFormControl table = Control("tbl", EFormControl::kTable, "");
        table.columns = {"", "Version"};
        table.widths = {40, 360};
        table.rows = {{"1", "V\\2"}};
        table.nSelected = 0;
        view.controls.push_back(table);
        return view;
    }
    bool OnFormAction(const std::string& strControl, const std::string& strValue) override {
        actions.push_back(strControl + "=" + strValue);
        if (strControl == "add") ++nCount;
        if (strControl == "nested") {
            CCountingForm inner(m_dialogs, "Inner");
            m_dialogs.RunModalForm(inner);
        }
        if (strControl == "ask") m_dialogs.ShowMessageBox("Sure?", "Notice", MessageBoxStyle::kYesNo, 0);
        return strControl != kFormCloseAction;
    }
    int nCount = 0;
    std::vector<std::string> actions;

private:
    IUserDialogs& m_dialogs;
    std::string m_strTitle;
};

}  // namespace

TEST_F(WebHostTest, FormIsPublishedDrivenByThePageAndRepublishedAfterEachAction) {
    CCountingForm form(host);
    auto run = std::async(std::launch::async, [&] { host.RunModalForm(form); });
    auto events = Events(1);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("{\"type\":\"dialog\",\"id\":1,\"kind\":\"form\",\"dialog\":{\"title\":\"Count "
              "\\\"<1>\\\"\\n\",\"controls\":["
              "{\"id\":\"grp\",\"kind\":\"group\",\"caption\":\"Group\",\"enabled\":true,"
              "\"checked\":false,\"items\":[],\"columns\":[],\"rows\":[],\"selected\":-1},"
              "{\"id\":\"add\",\"kind\":\"button\",\"caption\":\"Add 0\",\"enabled\":true,"
              "\"checked\":false,\"items\":[],\"columns\":[],\"rows\":[],\"selected\":-1},"
              "{\"id\":\"tbl\",\"kind\":\"table\",\"caption\":\"\",\"enabled\":true,"
              "\"checked\":false,\"items\":[],\"columns\":[{\"heading\":\"\",\"width\":40},"
              "{\"heading\":\"Version\",\"width\":360}],\"rows\":[[\"1\",\"V\\\\2\"]],"
              "\"selected\":0}]}}",
              events[0]);
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"add\",\"value\":\"\"}"));
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"add\"}"));
    events = Events(3);
    ASSERT_EQ(3u, events.size());
    EXPECT_NE(std::string::npos, events[2].find("\"caption\":\"Add 2\",\"enabled\":false"));
    // A reloaded shell finds the form as it is now; a question's answer is no form action.
    EXPECT_NE(std::string::npos, Body("/api/state").find("Add 2"));
    EXPECT_EQ(404, PostDialog("{\"id\":1,\"accepted\":true}"));
    EXPECT_EQ(404, PostDialog("{\"id\":7,\"control\":\"add\"}"));
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"close\",\"value\":\"\"}"));
    run.get();
    EXPECT_EQ((std::vector<std::string>{"add=", "add=", "close="}), form.actions);
    EXPECT_EQ("{\"type\":\"dialog-closed\",\"id\":1}", Events(4).back());
    EXPECT_EQ(404, PostDialog("{\"id\":1,\"control\":\"add\"}"));
}

TEST_F(WebHostTest, FormsNestAndStoppingTheHostClosesThem) {
    CCountingForm outer(host);
    auto run = std::async(std::launch::async, [&] { host.RunModalForm(outer); });
    Events(1);
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"nested\"}"));
    auto events = Events(2);
    ASSERT_EQ(2u, events.size());
    EXPECT_NE(std::string::npos, events[1].find("\"id\":2,\"kind\":\"form\",\"dialog\":{\"title\":\"Inner\""));
    const std::string state = Body("/api/state");  // both, the outer one first
    EXPECT_LT(state.find("\"id\":1,"), state.find("\"id\":2,"));
    EXPECT_EQ(200, PostDialog("{\"id\":2,\"control\":\"close\"}"));
    events = Events(4);  // the inner one goes, the outer one is shown again
    EXPECT_EQ("{\"type\":\"dialog-closed\",\"id\":2}", events[2]);
    EXPECT_NE(std::string::npos, events[3].find("\"id\":1,\"kind\":\"form\""));
    // A question from a handler, then the host stops: the question is answered No and the form
    // gets its close action.
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"ask\"}"));
    EXPECT_NE(std::string::npos, Events(5)[4].find("\"kind\":\"message\""));
    host.Stop();
    run.get();
    EXPECT_EQ((std::vector<std::string>{"nested=", "ask=", "close="}), outer.actions);
    CCountingForm late(host);
    host.RunModalForm(late);
    EXPECT_EQ((std::vector<std::string>{"close="}), late.actions);
}

namespace {

// A path as a JSON string's text: Windows paths hold backslashes.
std::string JsonPath(const std::string& path) {
    std::string text;
    for (char c : path) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return text;
}

}  // namespace

TEST_F(WebHostTest, FolderPickerBrowsesAndAnswersAnExistingFolder) {
    const struct {
        std::string answer;
        bool bChosen;
        std::string path;
    } kCases[] = {
        {"{\"accepted\":true,\"path\":\"" + JsonPath(dir.PathOf("html")) + "/\"}", true,
         dir.PathOf("html")},
        {"{\"accepted\":true,\"path\":\"" + JsonPath(dir.PathOf("nothing")) + "\"}", false, ""},
        {"{\"accepted\":false,\"path\":\"" + JsonPath(dir.Path()) + "\"}", false, ""},
    };
    size_t nId = 0;
    for (const auto& c : kCases) {
        std::string path;
        auto chosen = std::async(std::launch::async, [&] { return host.ChooseFolder("Pick", &path); });
        ++nId;  // each question brings its event and its dialog-closed
        const auto events = Events(2 * nId - 1);
        EXPECT_NE(std::string::npos, events.back().find("\"kind\":\"folder\",\"dialog\":{\"title\":\"Pick\""));
        EXPECT_EQ(200, Status("/api/files?dir=" + dir.Path()));
        EXPECT_EQ(200, PostDialog("{\"id\":" + std::to_string(nId) + "," + c.answer.substr(1)));
        EXPECT_EQ(c.bChosen, chosen.get()) << c.answer;
        EXPECT_EQ(c.path, path);
    }
}

// On the main loop a form waits in a nested loop, as under a modal dialog: other tasks (page
// commands, the close command) run while it is open, and the loop's end closes it.
TEST_F(WebHostTest, FormOnTheMainLoopKeepsTheLoopRunningAndEndsWithIt) {
    CCountingForm form(host);
    std::promise<void> closed;
    loop.Post([&] {
        host.RunModalForm(form);
        closed.set_value();
    });
    Events(1);
    std::promise<void> ran;
    loop.Post([&] { ran.set_value(); });
    EXPECT_EQ(std::future_status::ready, ran.get_future().wait_for(std::chrono::seconds(10)));
    EXPECT_EQ(200, PostDialog("{\"id\":1,\"control\":\"add\"}"));
    EXPECT_NE(std::string::npos, Events(2)[1].find("Add 1"));
    loop.Quit();
    EXPECT_EQ(std::future_status::ready, closed.get_future().wait_for(std::chrono::seconds(10)));
    EXPECT_EQ((std::vector<std::string>{"add=", "close="}), form.actions);
}
