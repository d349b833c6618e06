// The box's command set: one table of command words and their handlers. A new command is one
// more entry in the table (sim_commands.cc).
#pragma once

#include "tools/box_sim/sim_exchange.h"

using SimHandler = void (*)(CSimExchange& exchange);

struct CSimCommand {
    const char* szWord;
    SimHandler pHandler;
};

// Runs the handler of the exchange's command word; an unknown word is answered "ERROR\r".
void RunSimCommand(CSimExchange& exchange);

// Transfers (sim_transfer.cc).
void HandleDownload(CSimExchange& exchange);
void HandleUpload(CSimExchange& exchange);
