// web_bench [--pass-ms N] [--settle-ms N] [--rounds N]: the web host as a browser meets it, in one process with
// the main window, the command worker and a simulated box on loopback.
//   memory:  resident memory with the host idle and one page open (shell, box tools page, its
//            scripts and the event stream), against the process before the host started;
//   latency: from a page command (the light, command 18) to the first page script it causes,
//            against a bare request to the same host (the page's state) as the reference.
// The worker passes every 200 ms and waits 100 ms in each link step by default, as the program
// does; --pass-ms 1 --settle-ms 0 shows what the host and the engine add on their own.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_frame.h"
#include "bridge/box_services.h"
#include "bridge/web_host.h"
#include "platform/program_dir.h"
#include "support/settings.h"
#include "tools/box_sim/box_sim.h"
#include "tools/process_status.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The page's event stream, read on a thread of its own; each event with its arrival time.
class CEventReader {
public:
    CEventReader(int nPort, const httplib::Headers& headers)
        : m_client("127.0.0.1", nPort), m_thread([this, headers] { Read(headers); }) {}
    ~CEventReader() {
        m_bStop = true;
        m_thread.join();
    }
    // The first event after `since` whose text contains `part`; false after 30 s.
    bool WaitFor(const std::string& part, Clock::time_point since, Clock::time_point* pAt) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(30), [&] {
            for (const auto& [at, text] : m_events) {
                if (at >= since && text.find(part) != std::string::npos) {
                    *pAt = at;
                    return true;
                }
            }
            return false;
        });
    }

private:
    void Read(const httplib::Headers& headers) {
        std::string buffer;
        m_client.Get("/api/events?after=0", headers, [&](const char* data, size_t n) {
            buffer.append(data, n);
            size_t end;
            while ((end = buffer.find("\n\n")) != std::string::npos) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_events.emplace_back(Clock::now(), buffer.substr(0, end));
                buffer.erase(0, end + 2);
                m_arrived.notify_all();
            }
            return !m_bStop;
        });
    }

    httplib::Client m_client;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<std::pair<Clock::time_point, std::string>> m_events;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

struct COptions {
    unsigned nPassMs = 200;
    unsigned nSettleMs = 100;
    int nRounds = 20;
};

bool ParseOptions(int argc, char** argv, COptions* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pass-ms") == 0) options->nPassMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--settle-ms") == 0) options->nSettleMs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--rounds") == 0) options->nRounds = std::atoi(argv[i + 1]);
        else return false;
    }
    return argc % 2 == 1 && options->nRounds > 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: web_bench [--pass-ms N] [--settle-ms N] [--rounds N]\n");
        return 2;
    }
    LoadSettings();
    const long nBefore = ProcessStatusKiB("VmRSS:");

    CSimBox box;
    CSimBoxConfig simConfig;
    const std::string boxAddress = StartOnFreeLoopbackAddress(box, simConfig, 96);
    CUiLoop loop;
    std::thread loopThread([&] { loop.Run(); });
    CWebHost host(loop);
    if (boxAddress.empty() || !host.Start({platform::GetProgramDirectory(), 0})) {
        std::fprintf(stderr, "web_bench: cannot start the simulated box or the host\n");
        loop.Quit();
        loopThread.join();
        return 1;
    }
    CBoxServices services;
    CMainFrame frame(services.Services(), CWorkerTiming{0, options.nPassMs, options.nSettleMs});
    frame.AttachPage(&host);
    frame.AttachDialogs(&host);
    frame.AttachView(&host);
    host.AttachWindow(&frame, &frame);
    frame.StartWorker();
    loop.Post([&] { frame.OnCommand(kCmdShowFirstPage); });

    // One page open, as the browser loads it.
    const std::string token = host.GetUrl().substr(host.GetUrl().find("token=") + 6);
    const httplib::Headers headers = {
        {"Cookie", "zelvo_token_" + std::to_string(host.GetPort()) + "=" + token}};
    httplib::Client page("127.0.0.1", host.GetPort());
    page.set_default_headers(headers);
    for (const char* path : {"/html/shell.html", "/html/shell.js", "/html/shell.css", "/api/state",
                             "/html/first_page.html", "/app.js", "/html/first_page.js",
                             "/html/style.css", "/html/i18n.js", "/html/i18n/strings_en.properties",
                             "/html/Default.xml"}) {
        page.Get(path);
    }
    CEventReader events(host.GetPort(), headers);
    const auto invoke = [&](const std::string& command, const std::string& argument) {
        page.Post("/api/invoke",
                  "{\"name\":\"jsInvokeCPlusPlus\",\"args\":[{\"t\":\"s\",\"v\":\"" + command +
                      "\"},{\"t\":\"s\",\"v\":\"" + argument + "\"}]}",
                  "application/json");
    };
    Clock::time_point at;
    const Clock::time_point loaded = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    page.Post("/api/page", "{\"url\":\"/html/first_page.html\",\"instance\":\"b\",\"state\":\"loaded\"}",
              "text/plain");
    invoke("11", "LocalNetwork");
    invoke("12", boxAddress);
    if (!events.WaitFor("DetectBox", loaded, &at)) {
        std::fprintf(stderr, "web_bench: the box was not identified\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long nIdle = ProcessStatusKiB("VmRSS:");
    std::printf("memory: %ld KiB resident idle with one page open; %ld KiB before the host, "
                "%.1f MiB added\n",
                nIdle, nBefore, static_cast<double>(nIdle - nBefore) / 1024.0);

    std::vector<double> commands;
    std::vector<double> references;
    for (int i = 0; i < options.nRounds; ++i) {
        const Clock::time_point start = Clock::now();
        page.Get("/html/shell.css");
        references.push_back(Ms(Clock::now() - start));
        const Clock::time_point sent = Clock::now();
        invoke("18", "");
        if (!events.WaitFor("DisableOperate(true);", sent, &at)) {
            std::fprintf(stderr, "web_bench: no page script after command 18\n");
            return 1;
        }
        commands.push_back(Ms(at - sent));
        // The next pass enables the page again: the command is over.
        events.WaitFor("DisableOperate(false);", at, &at);
    }
    const double dCommand = Median(commands);
    const double dReference = Median(references);
    std::printf("latency: page command to its first page script %.2f ms (median of %d, worker "
                "pass %u ms, settle %u ms), a bare request %.3f ms, ratio %.1f\n",
                dCommand, options.nRounds, options.nPassMs, options.nSettleMs, dReference, dCommand / dReference);

    frame.StopWorker();
    host.Stop();
    loop.Quit();
    loopThread.join();
    return 0;
}
