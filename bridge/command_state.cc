#include "bridge/command_state.h"

#include "support/leading_number.h"

std::recursive_mutex g_hCmdMutex;

int g_nPendingCmd = kNoCommand;
int g_bNeedDetect = 1;
int g_bDetectFailShown = 1;
unsigned g_nOpenFailCount = 0;
int g_bOfferUpload = 0;
std::string g_strLinkType;
std::string g_strBoxAddr;
std::string g_szTransferPath;
std::string g_strUploadPassword;
std::string g_strTimeZone;
int g_nBoxMode = 0;
int g_nDiscoverArg = 0;
std::string g_strHmiType;
std::string g_strBoxSN;

void ResetCommandStateForLoad() {
    g_nPendingCmd = kNoCommand;
    g_bNeedDetect = 1;
    g_bDetectFailShown = 1;
    g_nOpenFailCount = 0;
    g_bOfferUpload = 0;
    g_strLinkType.clear();
    g_strBoxAddr.clear();
    g_szTransferPath.clear();
    g_strUploadPassword.clear();
    g_strTimeZone.clear();
    g_nBoxMode = 0;
    g_nDiscoverArg = 0;
    g_strHmiType.clear();
    g_strBoxSN.clear();
}

void InitCommandStateForMainWindow() {
    g_nPendingCmd = 11;
    g_bDetectFailShown = 0;
    g_bOfferUpload = 1;
    g_strLinkType = kLinkUsb;
}

int ReadCommandNumber(const std::string& text) {
    return ReadLeadingNumber(text);
}
