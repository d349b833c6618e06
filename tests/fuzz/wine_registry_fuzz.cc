// The text of a Wine machine registry file (system.reg) as the installed-program list reads it.
// Properties that must hold:
//  - no more entries than key lines;
//  - the file with CRLF line ends gives the same entries;
//  - the file listed twice (a plain key line between) gives the same entries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/installed_programs.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Entries = std::vector<platform::CInstalledProgram>;

std::string Describe(const Entries& entries) {
    std::string text;
    for (const auto& entry : entries) text += entry.strName + "|" + entry.strLocation + "\n";
    return text;
}

void CheckSame(const char* szWhat, const Entries& expected, const std::string& text) {
    const std::string strExpected = Describe(expected);
    const std::string strActual = Describe(platform::ParseWineUninstallEntries(text));
    if (strActual != strExpected) ReportViolation(szWhat, strExpected, strActual);
}

size_t CountKeyLines(std::string_view text) {
    size_t n = 0;
    for (size_t nStart = 0; nStart != std::string_view::npos;) {
        const size_t nEnd = text.find('\n', nStart);
        const std::string_view line = text.substr(nStart, nEnd - nStart);
        const size_t nFirst = line.find_first_not_of(" \t");
        n += nFirst != std::string_view::npos && line[nFirst] == '[';
        nStart = nEnd == std::string_view::npos ? nEnd : nEnd + 1;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(AsText(data, size));
    const Entries entries = platform::ParseWineUninstallEntries(text);
    if (entries.size() > CountKeyLines(text)) {
        ReportViolation("more entries than key lines", std::to_string(CountKeyLines(text)),
                        std::to_string(entries.size()));
    }
    if (text.find('\r') == std::string::npos) {
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        CheckSame("CRLF line ends change the entries", entries, crlf);
    }
    CheckSame("keys listed twice change the entries", entries, text + "\n[]\n" + text);
    return 0;
}
