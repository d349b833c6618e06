// The command exchange against the simulated box on 127.0.2.20:
// - a page command until its first byte reaches the box, through the dispatcher and the real
//   worker thread (200 ms passes), beside a plain loopback send of the same bytes;
// - one SendBoxCommand with its fixed 300 ms pause taken out, beside a plain request and reply
//   on a socket to the same box. The difference is what the exchange adds: its two drains.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/main_frame.h"
#include "bridge/box_services.h"
#include "box/box_channel.h"
#include "box/tcp_link.h"
#include "platform/net_socket.h"
#include "platform/thread_util.h"
#include "tools/box_bench/bench_ratio.h"
#include "tools/box_sim/box_sim.h"

namespace {

constexpr const char* kAddress = "127.0.2.20";

CSimBox& Box() {
    static std::unique_ptr<CSimBox> pBox = [] {
        auto p = std::make_unique<CSimBox>();
        CSimBoxConfig config;
        config.strAddress = kAddress;
        config.nRestartMs = 0;
        if (!p->Start(config)) std::fprintf(stderr, "box_bench: cannot start the box on %s\n", kAddress);
        auto lock = p->Lock();
        p->State().strType = "ZELVO-4G";
        return p;
    }();
    return *pBox;
}

class CSilentPage : public IPageSink {
public:
    void ExecuteScript(const std::string&, const std::string&, int) override {}
    bool IsLoading() const override { return false; }
};

void BM_PageCommandToFirstByte(benchmark::State& state) {
    CSimBox& box = Box();
    CBoxServices services;
    CSilentPage page;
    CMainFrame frame(services.Services(), CWorkerTiming{0, 200, 100});
    frame.AttachPage(&page);
    frame.DispatchCommand("11", "LocalNetwork");
    frame.DispatchCommand("12", kAddress);
    frame.StartWorker();
    box.WaitForCommands(3, 10000);  // identified
    platform::SleepMs(1500);
    for (auto _ : state) {
        box.ClearRecord();
        frame.DispatchCommand("18", "");
        if (!box.WaitForCommands(1, 5000)) state.SkipWithError("the light command never came");
        state.PauseTiming();
        platform::SleepMs(400);  // let the operation end before the next command
        state.ResumeTiming();
    }
    frame.StopWorker();
    frame.AttachPage(nullptr);
}
BENCHMARK(BM_PageCommandToFirstByte)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_PlainSendToFirstByte(benchmark::State& state) {
    CSimBox& box = Box();
    for (auto _ : state) {
        box.ClearRecord();
        const platform::SocketHandle s = platform::ConnectTcp(kAddress, kBoxCommandPort, 1000);
        platform::SocketSend(s, "Light\r", 6);
        if (!box.WaitForCommands(1, 5000)) state.SkipWithError("no command");
        platform::CloseSocket(s);
    }
}
BENCHMARK(BM_PlainSendToFirstByte)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_SendBoxCommandWithoutPause(benchmark::State& state) {
    Box();
    BoxTcpLink link;
    if (!link.Open(kBoxCommandPort, kAddress)) state.SkipWithError("no link");
    CBoxChannel channel(CBoxTiming{0});
    channel.SetActiveLink(&link);
    for (auto _ : state) {
        CReplyBuffer reply;
        if (!channel.SendBoxCommand("GetHMIType\r", &reply)) state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_SendBoxCommandWithoutPause)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainRequestAndReply(benchmark::State& state) {
    Box();
    const platform::SocketHandle s = platform::ConnectTcp(kAddress, kBoxCommandPort, 1000);
    platform::SetSocketTimeouts(s, 10000, 10000);
    char reply[1024];
    for (auto _ : state) {
        platform::SocketSend(s, "GetHMIType\r", 11);
        if (platform::SocketReceive(s, reply, sizeof(reply)) <= 0) state.SkipWithError("no reply");
    }
    platform::CloseSocket(s);
}
BENCHMARK(BM_PlainRequestAndReply)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BOX_BENCH_RATIO(BM_PageCommandToFirstByte, BM_PlainSendToFirstByte);
BOX_BENCH_RATIO(BM_SendBoxCommandWithoutPause, BM_PlainRequestAndReply);
