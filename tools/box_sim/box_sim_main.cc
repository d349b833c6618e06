// zelvo_box_sim: a simulated box on a loopback address, for trying the program by hand and for
// scripts.
//
//   zelvo_box_sim [--address 127.0.0.20] [--tcp-port 8769] [--discovery-address 127.0.0.255]
//                 [--udp-port 8767] [--type T] [--serial S] [--mode N] [--restart-ms N]
//                 [--file NAME=SIZE]... [--pass-port N]
//
// The box starts with a small "setup.xml" and "cloudprj.zcpj" to read back; --file adds a file
// of SIZE bytes of fixed pseudo-random content (for transfer measurements). --pass-port serves
// the remote end of a pass-through on the box's address and that port: the subdomain handshake
// is accepted and every byte echoed.
//
// Prints "box_sim listening on A:P" when ready and serves until Ctrl+C or a termination request
// (SIGINT or SIGTERM). Addresses outside 127.0.0.0/8 are refused. Exit status 0 after such a
// request, 1 when a socket cannot be bound, 2 for a wrong command line.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/signals.h"
#include "tools/box_sim/box_sim.h"
#include "tools/box_sim/sim_pass_server.h"

namespace {

constexpr int kExitBindFailed = 1;
constexpr int kExitUsage = 2;

// Set by the termination request; main waits for it.
std::mutex g_stopMutex;
std::condition_variable g_stopRequested;
bool g_bStop = false;

void RequestStop() {
    std::lock_guard<std::mutex> lock(g_stopMutex);
    g_bStop = true;
    g_stopRequested.notify_all();
}

void WaitForStop() {
    std::unique_lock<std::mutex> lock(g_stopMutex);
    g_stopRequested.wait(lock, [] { return g_bStop; });
}

struct COptions {
    CSimBoxConfig config;
    unsigned long nPassPort = 0;  // 0: no pass-through end
    CSimBoxState state;
    std::map<std::string, std::string> files = {
        {"setup.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n  <net ip=\"192.168.1.20\"/>\n"
         "</config>\n"},
        {"cloudprj.zcpj", "ZCPJ demo cloud project\n"},
    };
};

bool ParseNumber(const char* szText, unsigned long nMax, unsigned long* pValue) {
    if (*szText < '0' || *szText > '9') return false;
    char* pEnd = nullptr;
    *pValue = strtoul(szText, &pEnd, 10);
    return *pEnd == 0 && *pValue <= nMax;
}


bool TakeFile(const std::string& strFileOption, COptions* options) {
    const size_t nEquals = strFileOption.find('=');
    unsigned long nSize = 0;
    if (nEquals == std::string::npos || nEquals == 0 ||
        !ParseNumber(strFileOption.c_str() + nEquals + 1, 0xFFFFFFFFul, &nSize)) {
        return false;
    }
    options->files[strFileOption.substr(0, nEquals)] = SimPatternBytes(nSize);
    return true;
}


// Takes the value of one option; false for an unknown option or a bad value.
bool TakeOption(const std::string& name, const char* szValue, COptions* options) {
    CSimBoxConfig& config = options->config;
    unsigned long nValue = 0;
    if (name == "--address") {
        config.strAddress = szValue;
    } else if (name == "--discovery-address") {
        config.strDiscoveryAddress = szValue;
    } else if (name == "--type") {
        options->state.strType = szValue;
    } else if (name == "--serial") {
        options->state.strSerial = szValue;
    } else if (name == "--tcp-port" && ParseNumber(szValue, 65535, &nValue)) {
        config.nTcpPort = static_cast<uint16_t>(nValue);
    } else if (name == "--udp-port" && ParseNumber(szValue, 65535, &nValue)) {
        config.nDiscoveryPort = static_cast<uint16_t>(nValue);
    } else if (name == "--mode" && ParseNumber(szValue, 1000000, &nValue)) {
        options->state.nMode = static_cast<int>(nValue);
    } else if (name == "--restart-ms" && ParseNumber(szValue, 3600000, &nValue)) {
        config.nRestartMs = static_cast<unsigned>(nValue);
    } else if (name == "--pass-port" && ParseNumber(szValue, 65535, &nValue) && nValue > 0) {
        options->nPassPort = nValue;
    } else if (name == "--file") {
        return TakeFile(szValue, options);
    } else {
        return false;
    }
    return true;
}

bool ParseArguments(int argc, char** argv, COptions* options) {
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc || !TakeOption(argv[i], argv[i + 1], options)) {
            fprintf(stderr, "zelvo_box_sim: bad option %s\n", argv[i]);
            return false;
        }
    }
    return true;
}

bool IsAllowed(const std::string& strAddress) {
    if (IsLoopbackAddress(strAddress)) return true;
    fprintf(stderr, "zelvo_box_sim: refusing %s: only addresses in 127.0.0.0/8 are allowed\n",
            strAddress.c_str());
    return false;
}

bool AddressesAreAllowed(const CSimBoxConfig& config) {
    return IsAllowed(config.strAddress) &&
           (config.strDiscoveryAddress.empty() || IsAllowed(config.strDiscoveryAddress));
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    if (!ParseArguments(argc, argv, &options)) return kExitUsage;
    if (!AddressesAreAllowed(options.config)) return kExitUsage;

    platform::HandleTerminationRequests(RequestStop);  // before the sim's threads start

    CSimBox box;
    {
        auto lock = box.Lock();
        box.State().strType = options.state.strType;
        box.State().strSerial = options.state.strSerial;
        box.State().nMode = options.state.nMode;
        box.State().files = std::move(options.files);
    }
    if (!box.Start(options.config)) {
        fprintf(stderr, "zelvo_box_sim: cannot bind %s\n", options.config.strAddress.c_str());
        return kExitBindFailed;
    }
    CSimPassServer passServer;
    if (options.nPassPort != 0 &&
        !passServer.Start(options.config.strAddress, static_cast<uint16_t>(options.nPassPort))) {
        fprintf(stderr, "zelvo_box_sim: cannot bind the pass-through port %lu\n",
                options.nPassPort);
        return kExitBindFailed;
    }
    printf("box_sim listening on %s:%u\n", options.config.strAddress.c_str(),
           static_cast<unsigned>(options.config.nTcpPort));
    fflush(stdout);
    WaitForStop();
    box.Stop();
    return 0;
}
