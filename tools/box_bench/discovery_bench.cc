// The probe of one /24 network where nothing answers (127.0.1.0/24: every connection refused at
// once), beside the same 255 connection attempts made one after another on one thread.
#include <benchmark/benchmark.h>

#include <string>

#include "box/lan_discovery.h"
#include "platform/net_socket.h"
#include "tools/box_bench/bench_ratio.h"

namespace {

constexpr const char* kNetwork = "127.0.1.";

// A selected box address: the probe runs and nothing is broadcast. The local address list is
// loopback all the same, so that nothing here can ever reach another network.
void BM_ProbeSilentNetwork(benchmark::State& state) {
    platform::SetLocalAddressesForTesting({std::string(kNetwork) + "1"});
    const std::string strSelected = std::string(kNetwork) + "1";
    for (auto _ : state) {
        const std::string strFound = DiscoverBoxes(1, strSelected);
        if (!strFound.empty()) {
            state.SkipWithError(("something answers on 127.0.1.0/24: " + strFound).c_str());
            break;
        }
    }
}
BENCHMARK(BM_ProbeSilentNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialRefusedConnects(benchmark::State& state) {
    const CDiscoveryTiming timing;
    for (auto _ : state) {
        for (int nHost = 1; nHost <= 255; ++nHost) {
            const platform::SocketHandle s = platform::ConnectTcp(
                kNetwork + std::to_string(nHost), kProbePort, timing.nConnectMs);
            if (s != platform::kInvalidSocket) {
                platform::CloseSocket(s);
                state.SkipWithError("a connection was accepted on 127.0.1.0/24");
                return;
            }
        }
    }
}
BENCHMARK(BM_SequentialRefusedConnects)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BOX_BENCH_RATIO(BM_ProbeSilentNetwork, BM_SequentialRefusedConnects);
