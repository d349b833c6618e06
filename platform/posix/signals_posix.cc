#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

namespace platform {

namespace {

// The signal's own action: the process ends as if the signal had never been caught.
[[noreturn]] void EndBySignal(int nSignal) {
    ::signal(nSignal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, nSignal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(nSignal);
    _exit(128 + nSignal);
}

}  // namespace

void HandleTerminationRequests(std::function<void()> onRequest) {
    sigset_t requests;
    sigemptyset(&requests);
    sigaddset(&requests, SIGINT);
    sigaddset(&requests, SIGTERM);
    // Threads started from now on inherit the mask, so only the waiting thread takes them.
    pthread_sigmask(SIG_BLOCK, &requests, nullptr);
    std::thread([requests, onRequest = std::move(onRequest)] {
        bool bRequested = false;
        for (;;) {
            int nSignal = 0;
            if (sigwait(&requests, &nSignal) != 0) continue;
            // A second request means the first did not end the program soon enough (a
            // shutdown that hangs, a question nobody answers): it ends the process.
            if (bRequested) EndBySignal(nSignal);
            bRequested = true;
            onRequest();
        }
    }).detach();
}

}  // namespace platform
