// Round-trip cost of the library against the fake tunnel service on a Unix-domain socket:
// one tnl_SetParam + tnl_AddConnectionService, beside the bare socket exchange of the same
// request size as the reference.
//   tnl_bench [--benchmark_* options]
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "tnl/tnl.h"
#include "tnl/service/fake_tunnel_service.h"

namespace {

// The fake service in a temporary run directory, for the whole run.
class CBenchService {
  public:
    CBenchService() {
        char szTemplate[] = "/tmp/tnl_benchXXXXXX";
        m_strRunDir = mkdtemp(szTemplate);
        setenv("TNL_RUN_DIR", m_strRunDir.c_str(), 1);
        m_pService = std::make_unique<tnl_fake::CFakeTunnelService>(m_strRunDir);
        m_pService->Start();
    }
    ~CBenchService() {
        m_pService->Stop();
        std::filesystem::remove_all(m_strRunDir);
    }
    const std::string& RunDir() const { return m_strRunDir; }

  private:
    std::string m_strRunDir;
    std::unique_ptr<tnl_fake::CFakeTunnelService> m_pService;
};

CBenchService& Service() {
    static CBenchService service;
    return service;
}

VARIANT Text(const std::u16string& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

bool ConnectLibrary() {
    Service();
    VARIANT server = Text(u".");
    BOOL bOk = tnl_ConnectService(&server);
    VariantClear(&server);
    return bOk != 0;
}

// Per iteration: a fresh client record (not timed), then the timed SetParam("name") + Add, then
// its deletion (not timed) so that the service's list stays short.
void BM_SetParamAndAdd(benchmark::State& state) {
    if (!ConnectLibrary()) {
        state.SkipWithError("cannot connect");
        return;
    }
    VARIANT name = Text(u"name");
    int nCounter = 0;
    for (auto _ : state) {
        int nId = -1;
        tnl_CreateConnection(TNL_TYPE_CLIENT, &nId);
        std::string strName = "bench" + std::to_string(nCounter++);
        VARIANT value = Text(std::u16string(strName.begin(), strName.end()));
        auto start = std::chrono::steady_clock::now();
        bool bOk = tnl_SetParam(nId, &name, &value) && tnl_AddConnectionService(nId);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        VariantClear(&value);
        if (!bOk || !tnl_DeleteConnection(nId)) {
            state.SkipWithError("call failed");
            break;
        }
    }
    VariantClear(&name);
    tnl_DisconnectService();
}
BENCHMARK(BM_SetParamAndAdd)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The same ADD request and reply over a bare socket: what the library adds is the difference.
void BM_RawSocketExchange(benchmark::State& state) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::string strPath = tnl_fake::CFakeTunnelService::SocketPath(Service().RunDir());
    std::memcpy(address.sun_path, strPath.c_str(), strPath.size() + 1);
    int nSocket = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    // An ADD of a name that exists is answered "ERROR" and changes nothing: a steady exchange.
    std::string strRequest =
        "<proto version=\"6.0\"><operation type=\"ADD\"><connection><type>CLIENT</type>"
        "<name>raw</name><port/><protocol/><network><host name=\"localhost\" port=\"5001\"/>"
        "</network><security/></connection></operation></proto>";
    std::string strReply;
    tnl_fake::SendServiceRequest(Service().RunDir(), strRequest, &strReply);
    char szBuffer[4096];
    for (auto _ : state) {
        send(nSocket, strRequest.data(), strRequest.size(), MSG_NOSIGNAL);
        strReply.clear();
        while (strReply.find("</proto>") == std::string::npos) {
            ssize_t nRead = recv(nSocket, szBuffer, sizeof(szBuffer), 0);
            if (nRead <= 0) break;
            strReply.append(szBuffer, static_cast<size_t>(nRead));
        }
    }
    close(nSocket);
}
BENCHMARK(BM_RawSocketExchange)->Unit(benchmark::kMicrosecond);

// SetParam alone: the local part (parse, write, serialise), no traffic.
void BM_SetParamOnly(benchmark::State& state) {
    if (!ConnectLibrary()) {
        state.SkipWithError("cannot connect");
        return;
    }
    int nId = -1;
    tnl_CreateConnection(TNL_TYPE_CLIENT, &nId);
    VARIANT name = Text(u"port.name"), value = Text(u"COM5");
    for (auto _ : state) benchmark::DoNotOptimize(tnl_SetParam(nId, &name, &value));
    VariantClear(&name);
    VariantClear(&value);
    tnl_DeleteConnection(nId);
    tnl_DisconnectService();
}
BENCHMARK(BM_SetParamOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
