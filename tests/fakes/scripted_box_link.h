// A box link that answers from a script in memory and records what was sent: for the exchange
// rules that a real box cannot be made to show on demand (empty receives, a failing send).
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "box/box_link.h"

class CScriptedBoxLink : public BoxLink {
public:
    // Each Receive takes the next scripted chunk (cut to the asked length); "" is an empty
    // receive. With the script used up, receives deliver nothing and fail.
    std::deque<std::string> receives;
    std::string strSent;
    std::vector<size_t> sendSizes;  // the length of every send, in order
    bool bSendFails = false;
    int nDrains = 0;

    bool Send(const char* pData, size_t nLength, size_t* pnCount) override {
        *pnCount = 0;
        if (bSendFails) return false;
        strSent.append(pData, nLength);
        sendSizes.push_back(nLength);
        *pnCount = nLength;
        return true;
    }
    bool Receive(char* pBuffer, size_t nLength, size_t* pnCount) override {
        *pnCount = 0;
        if (receives.empty()) return false;
        std::string chunk = receives.front();
        receives.pop_front();
        *pnCount = std::min(chunk.size(), nLength);
        std::memcpy(pBuffer, chunk.data(), *pnCount);
        return true;
    }
    bool Drain(int) override {
        ++nDrains;
        return true;
    }
};
