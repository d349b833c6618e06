// What the command bridge needs of the main window: the page it reports to, the frontend's
// dialogs, the operations it runs, the worker's timing and its stop signal. The main window
// implements it; the dispatcher, the worker and the page call work against it alone.
#pragma once

#include <string>

#include "bridge/bridge_services.h"
#include "bridge/frontend.h"
#include "support/operation_report.h"

// Timing of the command worker.
struct CWorkerTiming {
    unsigned nStartDelayMs = 3000;  // after the main window is created
    unsigned nPassMs = 200;         // between passes
    unsigned nSettleMs = 100;       // short waits inside the link step
};

class IBridgeHost : public IOperationReport {
public:
    // A page command: v1 is the command number as decimal text, v2 its argument.
    virtual int DispatchCommand(const std::string& v1, const std::string& v2) = 0;
    virtual IUserDialogs* GetDialogs() const = 0;
    virtual const CBridgeServices& GetServices() const = 0;
    virtual const CWorkerTiming& GetTiming() const = 0;
    // The worker acts only while the first (box tools) page is shown and loaded.
    virtual bool IsFirstPageShown() const = 0;
    virtual bool IsPageReady() const = 0;
    // Sleeps, waking early when the worker is asked to stop. False when stopping.
    virtual bool WaitMs(unsigned nMs) = 0;
};
