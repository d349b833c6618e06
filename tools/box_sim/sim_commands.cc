#include "tools/box_sim/sim_commands.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kOk = "OK\r";
constexpr const char* kError = "ERROR\r";
constexpr size_t kMaxVersionBody = 9999;  // what a 4-digit length field can announce

std::string StateText(CSimExchange& exchange, std::string CSimBoxState::*pText) {
    auto lock = exchange.Lock();
    return exchange.State().*pText;
}

void HandleHostName(CSimExchange& exchange) {
    exchange.Reply(StateText(exchange, &CSimBoxState::strHostName));
}

void HandleType(CSimExchange& exchange) {
    exchange.Reply(StateText(exchange, &CSimBoxState::strType));
}

void HandleSerial(CSimExchange& exchange) {
    exchange.Reply(StateText(exchange, &CSimBoxState::strSerial));
}

void HandleGetMode(CSimExchange& exchange) {
    int nMode;
    {
        auto lock = exchange.Lock();
        nMode = exchange.State().nMode;
    }
    exchange.Reply("Mode=" + std::to_string(nMode));
}

// A mode that is not a number is refused with "ERROR\r".
void HandleSetMode(CSimExchange& exchange) {
    const std::string& strValue = exchange.Argument();
    char* pEnd = nullptr;
    long nMode = strtol(strValue.c_str(), &pEnd, 10);
    if (strValue.empty() || *pEnd != 0) {
        exchange.Reply(kError);
        return;
    }
    {
        auto lock = exchange.Lock();
        exchange.State().nMode = static_cast<int>(nMode);
    }
    exchange.Reply(kOk);
}

// The length field and the body are two messages, so over USB each starts its own report.
void HandleVersions(CSimExchange& exchange) {
    std::string strBody =
        StateText(exchange, &CSimBoxState::strVersions).substr(0, kMaxVersionBody);
    char szLength[8];
    snprintf(szLength, sizeof(szLength), "%04zu", strBody.size());
    if (exchange.Reply(szLength)) exchange.Reply(strBody);
}

void ReplyTextOrError(CSimExchange& exchange, std::string CSimBoxState::*pText) {
    std::string strText = StateText(exchange, pText);
    exchange.Reply(strText.empty() ? kError : strText);
}

void HandleNetworkJson(CSimExchange& exchange) {
    ReplyTextOrError(exchange, &CSimBoxState::strNetworkJson);
}

void HandleNetworkText(CSimExchange& exchange) {
    ReplyTextOrError(exchange, &CSimBoxState::strNetworkText);
}

// "OK\r" when the zone changes, "END\r" when it is the one the box has.
void HandleSetTimeZone(CSimExchange& exchange) {
    bool bChanged;
    {
        auto lock = exchange.Lock();
        bChanged = exchange.State().strTimeZone != exchange.Argument();
        exchange.State().strTimeZone = exchange.Argument();
    }
    exchange.Reply(bChanged ? kOk : "END\r");
}

// Any clock text is taken as it is.
void HandleSetTime(CSimExchange& exchange) {
    {
        auto lock = exchange.Lock();
        exchange.State().strClock = exchange.Argument();
    }
    exchange.Reply(kOk);
}

// The program does not read an answer to the light command, so there is none.
void HandleLight(CSimExchange& exchange) {
    auto lock = exchange.Lock();
    ++exchange.State().nLightCount;
}

void HandleTerminateAll(CSimExchange& exchange) {
    {
        auto lock = exchange.Lock();
        exchange.State().bStopped = true;
    }
    exchange.Reply(kOk);
}

// Answered "OK\r" whether the file was there or not; the program does not examine the answer.
void HandleDeleteFile(CSimExchange& exchange) {
    {
        auto lock = exchange.Lock();
        exchange.State().files.erase(exchange.Argument());
        exchange.State().deletedFiles.push_back(exchange.Argument());
    }
    exchange.Reply(kOk);
}

// Answers "OK\r" before going away: the program reads a reply after "reset\r", and without one
// a USB read would wait out its whole time-out.
void HandleReset(CSimExchange& exchange) {
    exchange.Reply(kOk);
    exchange.Restart();
    exchange.Disconnect();
}

const CSimCommand kCommands[] = {
    {"GetHostName", &HandleHostName},
    {"GetHMIType", &HandleType},
    {"GetRmtSN", &HandleSerial},
    {"GetBoxMode", &HandleGetMode},
    {"SetBoxMode", &HandleSetMode},
    {"GetAllVersion", &HandleVersions},
    {"TestNetworkJson", &HandleNetworkJson},
    {"TestNetwork", &HandleNetworkText},
    {"SetTZ", &HandleSetTimeZone},
    {"SetTime", &HandleSetTime},
    {"Light", &HandleLight},
    {"TerminateAll", &HandleTerminateAll},
    {"DeleteFile", &HandleDeleteFile},
    {"reset", &HandleReset},
    {"Download", &HandleDownload},
    {"Upload", &HandleUpload},
};

}  // namespace

void RunSimCommand(CSimExchange& exchange) {
    for (const CSimCommand& command : kCommands) {
        if (exchange.Word() == command.szWord) {
            command.pHandler(exchange);
            return;
        }
    }
    exchange.Reply(kError);
}
