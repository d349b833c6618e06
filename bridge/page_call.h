// The page's one native function, app.jsInvokeCPlusPlus(v1, v2), in its two halves: the page
// side answers four commands at once and forwards the rest as a process message; the program
// side turns that message into the main window's DispatchCommand.
#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "bridge/bridge_host.h"

// One call argument as it crosses to the program: a boolean, an integer, a double or a string;
// any other script type (undefined, null, object, array, function) arrives empty.
using PageValue = std::variant<std::monostate, bool, int, double, std::string>;
using PageValueList = std::vector<PageValue>;

inline constexpr const char* kNativeFunctionName = "jsInvokeCPlusPlus";

struct CPageCallOutcome {
    bool bHandled = false;    // false: not our function, nothing was sent
    bool bHasResult = false;  // a value goes back to the script
    PageValue result;
};

// Sends the process message (name, arguments) to the program side.
using ProcessMessageSender = std::function<void(const std::string&, const PageValueList&)>;

// Page side of a native call. Commands 23, 24, 28 and 29 (29 only with a version text) return
// a value; every other call is forwarded with sendMessage.
CPageCallOutcome InvokeNativeFunction(const std::string& strFunction, const PageValueList& args,
                                      IPanelEditor& editor,
                                      const ProcessMessageSender& sendMessage);

// Program side: dispatches a "jsInvokeCPlusPlus" message with exactly two arguments (an entry
// that is not a string reads as empty). Returns false for messages of any other name.
bool OnPageProcessMessage(IBridgeHost& frame, const std::string& strName,
                          const PageValueList& args);
