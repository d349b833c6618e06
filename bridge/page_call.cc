#include "bridge/page_call.h"

#include "support/settings.h"
#include "bridge/command_state.h"

namespace {

// The string value of an argument; other types read as empty.
std::string StringOf(const PageValue& value) {
    const std::string* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

// Answers a command synchronously when it is one of the page-side commands.
bool AnswerOnPageSide(int nCmd, const PageValueList& args, IPanelEditor& editor,
                      CPageCallOutcome* out) {
    std::string text;
    switch (nCmd) {
        case 23: out->result = editor.IsEditorInstalled(""); break;
        case 24:
            out->result = editor.LaunchDownloadTool(args.size() > 1 ? StringOf(args[1]) : "");
            break;
        case 28:
            if (editor.GetEditorVersion("", &text) != 1) {
                out->bHandled = true;  // handled, with no value for the script
                return true;
            }
            out->result = text;
            break;
        case 29:
            text = GetSoftwareVersion();
            if (text.empty()) return false;  // forwarded as an ordinary command
            out->result = text;
            break;
        default: return false;
    }
    out->bHandled = out->bHasResult = true;
    return true;
}

}  // namespace

CPageCallOutcome InvokeNativeFunction(const std::string& strFunction, const PageValueList& args,
                                      IPanelEditor& editor,
                                      const ProcessMessageSender& sendMessage) {
    CPageCallOutcome outcome;
    if (strFunction != kNativeFunctionName) return outcome;
    if (!args.empty() && AnswerOnPageSide(ReadCommandNumber(StringOf(args[0])), args, editor,
                                          &outcome)) {
        return outcome;
    }
    sendMessage(strFunction, args);
    outcome.bHandled = true;
    return outcome;
}

bool OnPageProcessMessage(IBridgeHost& frame, const std::string& strName,
                          const PageValueList& args) {
    if (strName != kNativeFunctionName) return false;
    if (args.size() == 2) frame.DispatchCommand(StringOf(args[0]), StringOf(args[1]));
    return true;
}
