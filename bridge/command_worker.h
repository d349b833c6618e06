// The command worker: one thread for all box traffic. Each pass takes the command lock, runs
// one link cycle and, when the cycle allows it, the pending command's operation.
#pragma once

#include "bridge/bridge_host.h"

// Thread procedure; returns when the main window's stop flag is set.
void CommandWorker(IBridgeHost* pHost);

// One worker pass after the wait (the caller checks the page and stop flag).
void RunWorkerPass(IBridgeHost& frame);

// One link cycle, under the command lock: opens the selected link, reports discovery, counts
// failures and identifies the box when needed. Non-zero when the pending command may run.
int PrepareBoxLink(IBridgeHost& frame);

// Runs the operation of a pending command number; numbers without an operation do nothing.
void RunPendingOperation(IBridgeHost& frame, int nCommand);
