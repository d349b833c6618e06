#include "bridge/web_host.h"

#include <httplib.h>

#include <atomic>
#include <map>
#include <cjson/cJSON.h>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "bridge/client_handler.h"
#include "bridge/event_channel.h"
#include "bridge/page_call.h"
#include "bridge/page_context.h"
#include "bridge/web_dialogs.h"
#include "bridge/web_security.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "support/localized_strings.h"
#include "support/settings.h"

namespace {

// A JSON object under construction; Text() hands it out and frees it.
class CJson {
public:
    CJson() : m_root(cJSON_CreateObject()) {}
    ~CJson() { cJSON_Delete(m_root); }
    CJson(const CJson&) = delete;
    CJson& operator=(const CJson&) = delete;
    CJson& Str(const char* key, const std::string& value) {
        cJSON_AddStringToObject(m_root, key, value.c_str());
        return *this;
    }
    CJson& Num(const char* key, double value) {
        cJSON_AddNumberToObject(m_root, key, value);
        return *this;
    }
    CJson& Bool(const char* key, bool value) {
        cJSON_AddBoolToObject(m_root, key, value);
        return *this;
    }
    // Adds already serialised JSON; ignored when it does not parse.
    CJson& Raw(const char* key, const std::string& json) {
        cJSON* item = cJSON_Parse(json.c_str());
        if (item != nullptr) cJSON_AddItemToObject(m_root, key, item);
        return *this;
    }
    std::string Text() const {
        char* text = cJSON_PrintUnformatted(m_root);
        std::string out = text != nullptr ? text : "{}";
        cJSON_free(text);
        return out;
    }

private:
    cJSON* m_root;
};

// A parsed request body; members read as empty or zero when absent or of another type.
class CJsonBody {
public:
    explicit CJsonBody(const std::string& body) : m_root(cJSON_Parse(body.c_str())) {}
    ~CJsonBody() { cJSON_Delete(m_root); }
    CJsonBody(const CJsonBody&) = delete;
    CJsonBody& operator=(const CJsonBody&) = delete;
    const cJSON* Item(const char* key) const {
        return cJSON_GetObjectItemCaseSensitive(m_root, key);
    }
    std::string Str(const char* key) const {
        const cJSON* item = Item(key);
        return cJSON_IsString(item) ? item->valuestring : "";
    }
    double Num(const char* key) const {
        const cJSON* item = Item(key);
        return cJSON_IsNumber(item) ? item->valuedouble : 0;
    }
    bool Bool(const char* key) const { return cJSON_IsTrue(Item(key)); }

private:
    cJSON* m_root;
};

// The shell's texts, looked up in the current language.
constexpr const char* kShellTextKeys[] = {
    "button_monitor", "button_setup", "button_config", "button_about", "minimize", "maximize",
    "restore", "close", "btn_yes", "btn_no", "btn_ok", "cancel", "btn_copy", "btn_close_dialog",
    "about_title", "btn_check_update", "machine_code_title", "file_open_title",
    "file_save_title", "file_name", "file_folder", "file_up", "file_type", "file_overwrite",
    "file_not_found", "folder_title", "settings_title", "alert_title", "statu_ready"};

std::string ContentTypeOf(const std::string& path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "application/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".png", "image/png"},
        {".bmp", "image/bmp"},                 {".ico", "image/x-icon"},
        {".svg", "image/svg+xml"},             {".jpg", "image/jpeg"},
        {".gif", "image/gif"},                 {".xml", "application/xml; charset=utf-8"},
        {".properties", "text/plain; charset=utf-8"}, {".json", "application/json"}};
    for (const auto& [ext, type] : kTypes) {
        const std::string suffix = ext;
        if (path.size() >= suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return type;
        }
    }
    return "application/octet-stream";
}

PageValue ReadTypedValue(const cJSON* item) {
    const cJSON* type = cJSON_GetObjectItemCaseSensitive(item, "t");
    const cJSON* value = cJSON_GetObjectItemCaseSensitive(item, "v");
    const std::string t = cJSON_IsString(type) ? type->valuestring : "";
    if (t == "b") return PageValue(cJSON_IsTrue(value));
    if (t == "i" && cJSON_IsNumber(value)) return PageValue(value->valueint);
    if (t == "d" && cJSON_IsNumber(value)) return PageValue(value->valuedouble);
    if (t == "s" && cJSON_IsString(value)) return PageValue(std::string(value->valuestring));
    return PageValue();
}

std::string TypedValueJson(const PageValue& value) {
    CJson json;
    if (const int* n = std::get_if<int>(&value)) json.Str("t", "i").Num("v", *n);
    if (const std::string* s = std::get_if<std::string>(&value)) json.Str("t", "s").Str("v", *s);
    return json.Text();
}

void SetNoStore(httplib::Response& res) { res.set_header("Cache-Control", "no-store"); }

}  // namespace

class CWebHostImpl {
public:
    explicit CWebHostImpl(CUiLoop& loop) : m_loop(loop), m_dialogs(m_channel) {}
    ~CWebHostImpl() { Stop(); }

    bool Start(const CWebHostOptions& options);
    void Stop();
    std::string Url() const {
        return m_nPort > 0 ? "http://127.0.0.1:" + std::to_string(m_nPort) + "/?token=" + m_strToken
                           : "";
    }
    int Port() const { return m_nPort; }
    void Attach(IBridgeHost* pBridge, IShellWindow* pShell) {
        m_pBridge = pBridge;
        m_pShell = pShell;
    }

    void ExecuteScript(const std::string& script, const std::string& scriptUrl);
    bool IsLoading() const {
        std::lock_guard<std::mutex> lock(m_pageMutex);
        return !m_bPageLoaded;
    }
    bool Ask(const std::string& kind, const std::string& dialogJson, CDialogAnswer* pAnswer) {
        *pAnswer = m_dialogs.Ask(kind, dialogJson);
        return pAnswer->bAccepted;
    }
    void ShowStatus(const std::string& text);
    void ShowUrl(const std::string& url, bool bReload);
    void Publish(const std::string& json) { m_channel.Publish(json); }
    void Close() {
        m_channel.Publish(CJson().Str("type", "close").Text());
        m_loop.Quit();
    }
    std::string HomeDirectory() const { return platform::GetHomeDirectory(); }
    void RunForm(IFormModel& model);

private:
    // The form's next action; false when the form is to close (host stopped, loop ended).
    bool NextFormAction(uint64_t nId, CFormAction* pAction);
    bool Admit(const httplib::Request& req, httplib::Response& res);
    void Route();
    void ServeEntry(const httplib::Request& req, httplib::Response& res);
    void ServeStatic(const httplib::Request& req, httplib::Response& res);
    void ServeEvents(const httplib::Request& req, httplib::Response& res);
    void ServeState(httplib::Response& res);
    void ServeFiles(const httplib::Request& req, httplib::Response& res);
    void OnInvoke(const httplib::Request& req, httplib::Response& res);
    void OnShell(const httplib::Request& req);
    void OnDialogAnswer(const httplib::Request& req, httplib::Response& res);
    void OnPageState(const httplib::Request& req);

    CUiLoop& m_loop;
    httplib::Server m_server;
    std::thread m_serverThread;
    std::string m_strProgramDir;
    std::string m_strToken;
    int m_nPort = 0;
    CEventChannel m_channel;
    CDialogBoard m_dialogs;
    std::atomic<IBridgeHost*> m_pBridge{nullptr};
    std::atomic<IShellWindow*> m_pShell{nullptr};

    mutable std::mutex m_pageMutex;  // the view: its page, its load state, the status text
    std::string m_strViewUrl;
    std::string m_strPageInstance;
    bool m_bPageLoaded = false;
    std::string m_strStatus;
};

bool CWebHostImpl::Start(const CWebHostOptions& options) {
    m_strProgramDir = options.strProgramDir;
    m_strToken = MakeAccessToken();
    if (m_strToken.empty()) {
        std::fprintf(stderr, "web host: no random token\n");
        return false;
    }
    // Event streams hold a thread each; page calls must still find one free.
    m_server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return Admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                               : httplib::Server::HandlerResponse::Handled;
    });
    Route();
    const int nPort = options.nPort == 0 ? m_server.bind_to_any_port("127.0.0.1")
                                         : (m_server.bind_to_port("127.0.0.1", options.nPort)
                                                ? options.nPort
                                                : -1);
    if (nPort <= 0) {
        std::fprintf(stderr, "web host: cannot listen on 127.0.0.1:%d\n", options.nPort);
        return false;
    }
    m_nPort = nPort;
    m_serverThread = std::thread([this] { m_server.listen_after_bind(); });
    return true;
}

void CWebHostImpl::Stop() {
    m_dialogs.Close();
    m_loop.Post([] {});  // a form's nested loop sees the board closed
    m_channel.Close();
    m_server.stop();
    if (m_serverThread.joinable()) m_serverThread.join();
}

bool CWebHostImpl::Admit(const httplib::Request& req, httplib::Response& res) {
    CRequestFacts facts;
    facts.strHost = req.get_header_value("Host");
    facts.strOrigin = req.get_header_value("Origin");
    facts.strCookie = req.get_header_value("Cookie");
    facts.strQueryToken = req.get_param_value("token");
    if (CheckRequest(facts, m_nPort, m_strToken) == RequestVerdict::kAllow) return true;
    res.status = 403;
    res.set_content("Forbidden", "text/plain");
    return false;
}

void CWebHostImpl::Route() {
    using httplib::Request;
    using httplib::Response;
    m_server.Get("/", [this](const Request& req, Response& res) { ServeEntry(req, res); });
    m_server.Get("/app.js", [](const Request&, Response& res) {
        SetNoStore(res);
        res.set_content(BuildAppScript(ReadPageContext(g_appSettings.tzInfo.strStandardName)),
                        "application/javascript; charset=utf-8");
    });
    m_server.Get("/api/events", [this](const Request& req, Response& res) { ServeEvents(req, res); });
    m_server.Get("/api/state", [this](const Request&, Response& res) { ServeState(res); });
    m_server.Get("/api/files", [this](const Request& req, Response& res) { ServeFiles(req, res); });
    m_server.Get("/api/setup.xml", [this](const Request&, Response& res) {
        std::string bytes;
        SetNoStore(res);
        if (!platform::ReadFileBytes(platform::JoinPath(m_strProgramDir, "setup.xml"), &bytes)) {
            res.status = 404;
            return;
        }
        res.set_content(bytes, "application/xml");
    });
    m_server.Post("/api/invoke", [this](const Request& req, Response& res) { OnInvoke(req, res); });
    m_server.Post("/api/shell", [this](const Request& req, Response&) { OnShell(req); });
    m_server.Post("/api/dialog",
                  [this](const Request& req, Response& res) { OnDialogAnswer(req, res); });
    m_server.Post("/api/page", [this](const Request& req, Response&) { OnPageState(req); });
    m_server.Post("/api/open-url", [](const Request& req, Response& res) {
        const bool bHandled = RoutePopupToBrowser(CJsonBody(req.body).Str("url"));
        res.set_content(CJson().Bool("handled", bHandled).Text(), "application/json");
    });
    m_server.Get(R"(/.+)", [this](const Request& req, Response& res) { ServeStatic(req, res); });
}

// The address the program opens: the token becomes a cookie and the shell page follows.
void CWebHostImpl::ServeEntry(const httplib::Request& req, httplib::Response& res) {
    if (req.has_param("token")) {
        res.set_header("Set-Cookie", TokenCookieName(m_nPort) + "=" + m_strToken +
                                         "; Path=/; HttpOnly; SameSite=Strict");
    }
    SetNoStore(res);
    res.set_redirect("/html/shell.html");
}

void CWebHostImpl::ServeStatic(const httplib::Request& req, httplib::Response& res) {
    std::string path;
    std::string bytes;
    SetNoStore(res);
    if (ResolveStaticPath(m_strProgramDir, req.path, &path) &&
        platform::ReadFileBytes(path, &bytes)) {
        res.set_content(bytes, ContentTypeOf(path));
        return;
    }
    res.status = 404;
    if (req.path.rfind("/html/", 0) == 0) {
        const std::string url = "http://127.0.0.1:" + std::to_string(m_nPort) + req.path;
        res.set_content(MakeLoadErrorPage(url, kLoadFileNotFoundText, kLoadFileNotFound),
                        "text/html; charset=utf-8");
    } else {
        res.set_content("Not Found", "text/plain");
    }
}

void CWebHostImpl::ServeEvents(const httplib::Request& req, httplib::Response& res) {
    const std::string resume = req.has_header("Last-Event-ID") ? req.get_header_value("Last-Event-ID")
                                                               : req.get_param_value("after");
    uint64_t nAfter = std::strtoull(resume.c_str(), nullptr, 10);
    SetNoStore(res);
    res.set_chunked_content_provider(
        "text/event-stream", [this, nAfter](size_t, httplib::DataSink& sink) mutable {
            std::vector<CEventChannel::Event> events;
            if (!m_channel.Wait(nAfter, 10000, &events)) return false;
            std::string out = events.empty() ? ": idle\n\n" : "";
            for (const auto& [nNumber, json] : events) {
                out += "id: " + std::to_string(nNumber) + "\ndata: " + json + "\n\n";
                nAfter = nNumber;
            }
            return sink.write(out.data(), out.size());
        });
}

void CWebHostImpl::ServeState(httplib::Response& res) {
    CJson texts;
    const std::map<std::string, std::string> table = LoadStringTable();
    for (const char* key : kShellTextKeys) {
        auto it = table.find(key);
        texts.Str(key, it != table.end() ? it->second : "");
    }
    const std::string titleIcon =
        platform::FileExists(platform::JoinPath(m_strProgramDir, "title.ico")) ? "/title.ico"
        : g_appSettings.nOem == 0 ? "/logo.ico"
                                  : "";
    CJson state;
    state.Str("title", g_appSettings.szName).Str("titleIcon", titleIcon);
    state.Raw("texts", texts.Text());
    {
        std::lock_guard<std::mutex> lock(m_pageMutex);
        state.Str("page", m_strViewUrl).Str("status", m_strStatus);
        state.Num("last", static_cast<double>(m_channel.LastNumber()));
    }
    state.Raw("dialogs", m_dialogs.PendingJson());
    SetNoStore(res);
    res.set_content(state.Text(), "application/json");
}

// The file and folder dialogs' view of the local file system, while one of them is open.
void CWebHostImpl::ServeFiles(const httplib::Request& req, httplib::Response& res) {
    std::string dir;
    std::vector<std::string> names;
    const bool bBrowsing =
        m_dialogs.HasOpenDialogOfKind("file") || m_dialogs.HasOpenDialogOfKind("folder");
    if (!bBrowsing ||
        !platform::ResolveRealPath(req.has_param("dir") ? req.get_param_value("dir")
                                                        : HomeDirectory(),
                                   &dir) ||
        !platform::ListDirectory(dir, &names)) {
        res.status = 404;
        return;
    }
    std::sort(names.begin(), names.end());
    cJSON* entries = cJSON_CreateArray();
    for (const std::string& name : names) {
        if (name.empty() || name[0] == '.') continue;
        const std::string full = platform::JoinPath(dir, name);
        const bool bDir = platform::DirectoryExists(full);
        if (!bDir && !platform::FileExists(full)) continue;
        cJSON* entry = cJSON_CreateObject();
        cJSON_AddStringToObject(entry, "name", name.c_str());
        cJSON_AddBoolToObject(entry, "dir", bDir);
        cJSON_AddItemToArray(entries, entry);
    }
    char* list = cJSON_PrintUnformatted(entries);
    cJSON_Delete(entries);
    CJson json;
    json.Str("dir", dir).Str("parent", platform::ParentDirectory(dir)).Raw("entries", list);
    cJSON_free(list);
    SetNoStore(res);
    res.set_content(json.Text(), "application/json");
}

// The page's native call: the page side answers at once; what goes on to the main window runs
// on the main loop, after the page has its answer, as a process message would.
void CWebHostImpl::OnInvoke(const httplib::Request& req, httplib::Response& res) {
    IBridgeHost* pBridge = m_pBridge.load();
    CJsonBody body(req.body);
    PageValueList args;
    const cJSON* list = body.Item("args");
    const cJSON* item = nullptr;
    cJSON_ArrayForEach(item, list) args.push_back(ReadTypedValue(item));
    CJson reply;
    if (pBridge == nullptr) {
        res.set_content(reply.Bool("handled", false).Text(), "application/json");
        return;
    }
    const auto send = [this](const std::string& name, const PageValueList& message) {
        m_loop.Post([this, name, message] {
            if (IBridgeHost* pTarget = m_pBridge.load()) OnPageProcessMessage(*pTarget, name, message);
        });
    };
    const CPageCallOutcome outcome =
        InvokeNativeFunction(body.Str("name"), args, *pBridge->GetServices().pEditor, send);
    reply.Bool("handled", outcome.bHandled);
    if (outcome.bHasResult) reply.Raw("result", TypedValueJson(outcome.result));
    res.set_content(reply.Text(), "application/json");
}

void CWebHostImpl::OnShell(const httplib::Request& req) {
    CJsonBody body(req.body);
    const std::string action = body.Str("action");
    const int nCommand = static_cast<int>(body.Num("command"));
    m_loop.Post([this, action, nCommand] {
        IShellWindow* pShell = m_pShell.load();
        if (pShell == nullptr) {
            if (action == "close") m_loop.Quit();  // no window yet: closing ends the program
            return;
        }
        if (action == "close") pShell->OnCloseCommand();
        else if (action == "update") pShell->OnCheckForUpdates();
        else if (action == "command") pShell->OnCommand(nCommand);
    });
}

// A question's answer, or an action on a form (it names a control).
void CWebHostImpl::OnDialogAnswer(const httplib::Request& req, httplib::Response& res) {
    CJsonBody body(req.body);
    const uint64_t nId = static_cast<uint64_t>(body.Num("id"));
    if (cJSON_IsString(body.Item("control"))) {
        if (!m_dialogs.PostFormAction(nId, {body.Str("control"), body.Str("value")})) {
            res.status = 404;
            return;
        }
        m_loop.Post([] {});  // wakes the form's nested loop
        return;
    }
    CDialogAnswer answer;
    answer.bAccepted = body.Bool("accepted");
    answer.strPath = body.Str("path");
    if (!m_dialogs.Answer(nId, answer)) res.status = 404;
}

void CWebHostImpl::OnPageState(const httplib::Request& req) {
    CJsonBody body(req.body);
    const std::string state = body.Str("state");
    const std::string instance = body.Str("instance");
    std::lock_guard<std::mutex> lock(m_pageMutex);
    if (state == "loaded" && body.Str("url") == m_strViewUrl) {
        m_bPageLoaded = true;
        m_strPageInstance = instance;
    } else if (state == "unloaded" && instance == m_strPageInstance) {
        m_bPageLoaded = false;
    }
}

// Shows the form and hands it the page's actions one by one, showing it again after each, until
// it closes; stopping the host or ending the main loop closes it. On the main loop's thread the
// wait is a nested loop, as under a modal dialog: page commands and the close command go on
// running meanwhile.
void CWebHostImpl::RunForm(IFormModel& model) {
    const uint64_t nId = m_dialogs.OpenForm(MakeFormJson(model.DescribeForm()));
    CFormAction action;
    for (;;) {
        if (!NextFormAction(nId, &action)) {
            model.OnFormAction(kFormCloseAction, "");
            break;
        }
        if (!model.OnFormAction(action.strControl, action.strValue)) break;
        m_dialogs.ShowForm(nId, MakeFormJson(model.DescribeForm()));
    }
    m_dialogs.CloseForm(nId);
}

bool CWebHostImpl::NextFormAction(uint64_t nId, CFormAction* pAction) {
    if (!m_loop.IsLoopThread()) return m_dialogs.NextFormAction(nId, pAction);
    int nTaken = 0;
    const bool bRunning =
        m_loop.RunUntil([&] { return (nTaken = m_dialogs.TakeFormAction(nId, pAction)) != 0; });
    return bRunning && nTaken > 0;
}

void CWebHostImpl::ExecuteScript(const std::string& script, const std::string& scriptUrl) {
    const std::string page = PageUrlFor(m_strProgramDir, scriptUrl);
    std::lock_guard<std::mutex> lock(m_pageMutex);
    if (!m_bPageLoaded || page != m_strViewUrl) return;  // no such page: dropped
    m_channel.Publish(CJson().Str("type", "script").Str("page", page).Str("script", script).Text());
}

void CWebHostImpl::ShowStatus(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_pageMutex);
    m_strStatus = text;
    m_channel.Publish(CJson().Str("type", "status").Str("text", text).Text());
}

void CWebHostImpl::ShowUrl(const std::string& url, bool bReload) {
    const std::string page = PageUrlFor(m_strProgramDir, url);
    std::lock_guard<std::mutex> lock(m_pageMutex);
    m_strViewUrl = page;
    m_bPageLoaded = false;
    m_strPageInstance.clear();
    m_channel.Publish(
        CJson().Str("type", "navigate").Str("url", page).Bool("reload", bReload).Text());
}

// ---- CWebHost ----

CWebHost::CWebHost(CUiLoop& loop) : m_impl(std::make_unique<CWebHostImpl>(loop)) {}
CWebHost::~CWebHost() = default;

bool CWebHost::Start(const CWebHostOptions& options) { return m_impl->Start(options); }
void CWebHost::Stop() { m_impl->Stop(); }
std::string CWebHost::GetUrl() const { return m_impl->Url(); }
int CWebHost::GetPort() const { return m_impl->Port(); }
void CWebHost::AttachWindow(IBridgeHost* pBridge, IShellWindow* pShell) {
    m_impl->Attach(pBridge, pShell);
}

void CWebHost::ExecuteScript(const std::string& script, const std::string& scriptUrl, int) {
    m_impl->ExecuteScript(script, scriptUrl);
}

bool CWebHost::IsLoading() const { return m_impl->IsLoading(); }

bool CWebHost::ShowMessageBox(const std::string& text, const std::string& caption,
                              MessageBoxStyle style, unsigned short wLangId) {
    CDialogAnswer answer;
    return m_impl->Ask("message",
                       CJson()
                           .Str("text", text)
                           .Str("caption", caption)
                           .Bool("yesNo", style == MessageBoxStyle::kYesNo)
                           .Num("langId", wLangId)
                           .Text(),
                       &answer);
}

bool CWebHost::ChooseFile(const CFileDialogRequest& request, std::string* path) {
    CDialogAnswer answer;
    const bool bChosen = m_impl->Ask("file",
                                     CJson()
                                         .Bool("open", request.bOpen)
                                         .Str("filter", request.strFilter)
                                         .Str("defaultExt", request.strDefaultExt)
                                         .Str("initialName", request.strInitialName)
                                         .Str("title", request.strTitle)
                                         .Bool("mustExist", request.bFileMustExist)
                                         .Bool("overwritePrompt", request.bOverwritePrompt)
                                         .Str("dir", m_impl->HomeDirectory())
                                         .Text(),
                                     &answer);
    if (!bChosen || answer.strPath.empty()) return false;
    if (request.bFileMustExist && !platform::FileExists(answer.strPath)) return false;
    *path = answer.strPath;
    return true;
}

// The page cannot write the clipboard for a worker: the shell shows the text with a Copy
// button, and the desktop's clipboard takes it as well when it can.
bool CWebHost::SetClipboardText(const std::string& text) {
    m_impl->Publish(CJson().Str("type", "clipboard").Str("text", text).Text());
    platform::SetClipboardText(text);
    return true;
}

void CWebHost::ShowStatusText(const std::string& text) { m_impl->ShowStatus(text); }
void CWebHost::ShowUrl(const std::string& url, bool bReload) { m_impl->ShowUrl(url, bReload); }

void CWebHost::ShowAboutBox(const CAboutInfo& info) {
    m_impl->Publish(CJson()
                        .Str("type", "about")
                        .Str("name", info.strName)
                        .Str("version", info.strVersion)
                        .Str("build", info.strBuild)
                        .Str("company", info.strCompany)
                        .Bool("reduced", info.bReduced)
                        .Text());
}

void CWebHost::CloseWindow() { m_impl->Close(); }

// The shell's folder picker: the same view of the file system as the file dialog, choosing the
// folder shown.
bool CWebHost::ChooseFolder(const std::string& strTitle, std::string* path) {
    CDialogAnswer answer;
    const bool bChosen = m_impl->Ask(
        "folder", CJson().Str("title", strTitle).Str("dir", m_impl->HomeDirectory()).Text(), &answer);
    std::string folder = answer.strPath;
    const auto IsSeparator = [](char c) { return c == '/' || c == platform::kPathSeparator; };
    while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
    if (!bChosen || folder.empty() || !platform::DirectoryExists(folder)) return false;
    *path = folder;
    return true;
}

void CWebHost::RunModalForm(IFormModel& model) { m_impl->RunForm(model); }
