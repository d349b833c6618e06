#include "app/terminal_frontend.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "app/main_frame.h"
#include "bridge/command_state.h"
#include "platform/codepage.h"

namespace {

const std::string kAddTextPrefix = "AddText(\"";
const std::string kAddTextSuffix = "\");";

char UnescapeChar(char c) {
    switch (c) {
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        default: return c;
    }
}

// The value of nDigits hex digits at text[pos], or -1 when they are not all there.
long ReadHex(const std::string& text, size_t pos, size_t nDigits) {
    if (pos + nDigits > text.size()) return -1;
    for (size_t i = pos; i < pos + nDigits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return -1;
    }
    return std::strtol(text.substr(pos, nDigits).c_str(), nullptr, 16);
}

// The code point of a "\xNN" or "\uXXXX" escape at text[i] (a "\uD8xx\uDCxx" pair makes one)
// and the number of characters it spans; false when none stands there.
bool ReadCodePointEscape(const std::string& text, size_t i, char32_t* cp, size_t* nLen) {
    const bool bUnicode = text[i + 1] == 'u';
    if (!bUnicode && text[i + 1] != 'x') return false;
    const long nValue = ReadHex(text, i + 2, bUnicode ? 4 : 2);
    if (nValue < 0) return false;
    *cp = static_cast<char32_t>(nValue);
    *nLen = bUnicode ? 6 : 4;
    const bool bPairFollows = bUnicode && text.size() >= i + 8 && text.compare(i + 6, 2, "\\u") == 0;
    const long nLow = bPairFollows ? ReadHex(text, i + 8, 4) : -1;
    if (bUnicode && nValue >= 0xD800 && nValue <= 0xDBFF && nLow >= 0xDC00 && nLow <= 0xDFFF) {
        *cp = 0x10000 + ((nValue - 0xD800) << 10) + (nLow - 0xDC00);
        *nLen = 12;
    }
    return true;
}

// Undoes the escapes that page script strings carry; escapes name code points, written here
// as UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string UnescapeScriptString(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = 0;
        size_t nLen = 0;
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (ReadCodePointEscape(text, i, &cp, &nLen)) {
            platform::AppendUtf8(cp, &out);
            i += nLen - 1;
        } else {
            out += UnescapeChar(text[++i]);
        }
    }
    return out;
}

// "\x02" typed on the terminal stands for the field separator U+0002.
std::string DecodeArgument(std::string arg) {
    for (size_t pos; (pos = arg.find("\\x02")) != std::string::npos;) arg.replace(pos, 4, "\x02");
    return arg;
}

// "[2] " for the entry at index i, "*[2] " when it is the selected one.
std::string Marked(size_t i, int nSelected) {
    return (static_cast<int>(i) == nSelected ? "*[" : "[") + std::to_string(i) + "] ";
}

std::string JoinCells(const std::vector<std::string>& cells) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i) text += (i == 0 ? "" : " | ") + cells[i];
    return text;
}

// One line: the id, the kind, the caption and what the kind adds (check state, list entries
// with their indexes, table headings), and "(disabled)".
std::string DescribeControl(const CFormControl& control) {
    static const char* const kKinds[] = {"group", "text", "button", "list", "check", "table"};
    std::string line = control.strId + " " + kKinds[static_cast<int>(control.eKind)];
    if (control.eKind == EFormControl::kCheck) line += control.bChecked ? " [x]" : " [ ]";
    if (!control.strCaption.empty()) line += ": " + control.strCaption;
    for (size_t i = 0; control.eKind == EFormControl::kList && i < control.items.size(); ++i) {
        line += (i == 0 ? ": " : "  ") + Marked(i, control.nSelected) + control.items[i];
    }
    if (control.eKind == EFormControl::kTable) line += ": " + JoinCells(control.columns);
    return line + (control.bEnabled ? "" : " (disabled)");
}

const char kHelp[] =
    "Commands: <number> [argument]     page command (\\x02 in an argument is the field separator)\n"
    "          home | first             switch between the home page and the box tools page\n"
    "          settings | about | close the other caption buttons and the close button\n"
    "          state                    show the pending command and link\n"
    "          quit                     leave\n";

}  // namespace

std::string DescribeFormText(const CFormView& view) {
    std::string text = "[form] " + view.strTitle;
    std::string indent = "  ";
    for (const CFormControl& control : view.controls) {
        if (control.eKind == EFormControl::kGroup) indent = "  ";
        text += "\n" + indent + DescribeControl(control);
        if (control.eKind == EFormControl::kGroup) indent = "    ";
        for (size_t i = 0; control.eKind == EFormControl::kTable && i < control.rows.size(); ++i) {
            text += "\n" + indent + "  " + Marked(i, control.nSelected) + JoinCells(control.rows[i]);
        }
    }
    return text;
}

bool ExtractAddTextLine(const std::string& script, std::string* line) {
    if (script.size() < kAddTextPrefix.size() + kAddTextSuffix.size() ||
        script.compare(0, kAddTextPrefix.size(), kAddTextPrefix) != 0 ||
        script.compare(script.size() - kAddTextSuffix.size(), kAddTextSuffix.size(),
                       kAddTextSuffix) != 0) {
        return false;
    }
    *line = UnescapeScriptString(script.substr(
        kAddTextPrefix.size(), script.size() - kAddTextPrefix.size() - kAddTextSuffix.size()));
    return true;
}

CTerminalFrontend::CTerminalFrontend(std::istream& in, std::ostream& out, bool bAssumeYes)
    : m_in(in), m_out(out), m_bAssumeYes(bAssumeYes) {}

void CTerminalFrontend::Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_out << line << std::endl;
}

bool CTerminalFrontend::Ask(const std::string& prompt, std::string* answer) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_out << prompt << std::flush;
    }
    std::unique_lock<std::mutex> lock(m_questionMutex);
    if (std::this_thread::get_id() == m_reader || m_reader == std::thread::id()) {
        lock.unlock();  // the reader itself asks (a file dialog of a command): read here
        return static_cast<bool>(std::getline(m_in, *answer));
    }
    m_answered.wait(lock, [this] { return !m_bQuestionOpen && !m_answer; });  // one at a time
    if (m_bInputEnded) return false;
    m_bQuestionOpen = true;
    m_answered.wait(lock, [this] { return m_answer.has_value() || m_bInputEnded; });
    m_bQuestionOpen = false;
    const bool bAnswered = m_answer.has_value();
    if (bAnswered) *answer = *m_answer;
    m_answer.reset();
    m_answered.notify_all();
    return bAnswered;
}

bool CTerminalFrontend::AnswerOpenQuestion(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(m_questionMutex);
        if (!m_bQuestionOpen || m_answer) return false;
        m_answer = line;
    }
    m_answered.notify_all();
    return true;
}

void CTerminalFrontend::EndInput() {
    {
        std::lock_guard<std::mutex> lock(m_questionMutex);
        m_bInputEnded = true;
    }
    m_answered.notify_all();
}

void CTerminalFrontend::ExecuteScript(const std::string& script, const std::string&, int) {
    std::string line;
    Print(ExtractAddTextLine(script, &line) ? line : "[page] " + script);
}

bool CTerminalFrontend::ShowMessageBox(const std::string& text, const std::string& caption,
                                       MessageBoxStyle style, unsigned short) {
    Print("[" + caption + "] " + text);
    if (style == MessageBoxStyle::kOk || m_bAssumeYes) return true;
    std::string answer;
    return Ask("(y/n) ", &answer) && (answer == "y" || answer == "Y" || answer == "yes");
}

bool CTerminalFrontend::ChooseFile(const CFileDialogRequest& request, std::string* path) {
    const std::string prompt = std::string(request.bOpen ? "Open" : "Save as") + " (" +
                               request.strFilter + "), empty to cancel: ";
    return Ask(prompt, path) && !path->empty();
}

bool CTerminalFrontend::SetClipboardText(const std::string& text) {
    Print("[clipboard] " + text);
    return true;
}

void CTerminalFrontend::HandleLine(CMainFrame& frame, const std::string& line) {
    static const struct {
        const char* szLine;
        int nCommand;
    } kButtons[] = {{"home", kCmdShowHomePage},
                    {"first", kCmdShowFirstPage},
                    {"settings", kCmdSettingsPage},
                    {"about", kCmdAboutBox}};
    for (const auto& button : kButtons) {
        if (line == button.szLine) return frame.OnCommand(button.nCommand);
    }
    if (line == "close") return frame.OnCloseCommand();
    if (line == "help") return Print(kHelp);
    if (line == "state") {
        std::lock_guard<std::recursive_mutex> lock(g_hCmdMutex);
        return Print("pending " + std::to_string(g_nPendingCmd) + ", link " + g_strLinkType +
                     " " + g_strBoxAddr);
    }
    const size_t space = line.find(' ');
    const std::string number = line.substr(0, space);
    if (number.find_first_not_of("+-0123456789") != std::string::npos) {
        return Print("unknown input: " + line + " (type help)");
    }
    const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
    frame.DispatchCommand(number, DecodeArgument(argument));
}

int CTerminalFrontend::Run(CMainFrame& frame) {
    Print(kHelp);
    {
        std::lock_guard<std::mutex> lock(m_questionMutex);
        m_reader = std::this_thread::get_id();
    }
    std::string line;
    while (!m_bClosed && std::getline(m_in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (AnswerOpenQuestion(line)) continue;
        if (line == "quit") break;
        if (!line.empty()) HandleLine(frame, line);
    }
    EndInput();
    return 0;
}

void CTerminalFrontend::ShowStatusText(const std::string& text) { Print("[status] " + text); }

void CTerminalFrontend::ShowUrl(const std::string& url, bool bReload) {
    Print(std::string(bReload ? "[reload] " : "[show] ") + url);
}

void CTerminalFrontend::ShowAboutBox(const CAboutInfo& info) {
    Print("[about] " + info.strName + " " + info.strVersion + " " + info.strBuild +
          (info.bReduced ? "" : " " + info.strCompany));
}

bool CTerminalFrontend::ChooseFolder(const std::string& strTitle, std::string* path) {
    if (!Ask(strTitle + " (folder), empty to cancel: ", path)) return false;
    while (path->size() > 1 && path->back() == '/') path->pop_back();
    return !path->empty();
}

// Shows the form and reads "ID [VALUE]" lines for it until it closes; the end of input closes
// it. A line that names no control of the form is refused and read again.
void CTerminalFrontend::RunModalForm(IFormModel& model) {
    for (;;) {
        const CFormView view = model.DescribeForm();
        Print(DescribeFormText(view));
        std::string line;
        if (!Ask("form action (ID [VALUE] | close): ", &line)) {
            model.OnFormAction(kFormCloseAction, "");
            return;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t space = line.find(' ');
        const std::string control = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        const bool bKnown = control == kFormCloseAction ||
                            std::any_of(view.controls.begin(), view.controls.end(),
                                        [&](const CFormControl& c) { return c.strId == control; });
        if (!bKnown) {
            Print("unknown control: " + control);
        } else if (!model.OnFormAction(control, value)) {
            return;
        }
    }
}
