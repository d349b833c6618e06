// The uninstall entries of a Wine machine registry file. Wine keeps the machine registry as a
// text file, "<prefix>/system.reg": a key starts with a line "[Software\\...\\Name] <time>",
// followed by comment lines ("#time=...") and value lines such as "DisplayName"="Text" or
// "Path"=str(2):"%ProgramFiles%\\X". Texts escape '\' and the delimiter with a backslash, control
// characters with C or octal escapes, and non-ASCII UTF-16 units as \x with up to four hex
// digits. Pure text work, the same on every system.
#include <algorithm>
#include <map>

#include "platform/codepage.h"
#include "platform/installed_programs.h"

namespace platform {
namespace {

// The uninstall keys of the 64-bit and the 32-bit view as the registry file names them (below
// the machine root), in lower case: the registry ignores the letter case of key names.
constexpr std::string_view kUninstallKeys[] = {
    "software\\microsoft\\windows\\currentversion\\uninstall\\",
    "software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\",
};
constexpr size_t kViews = std::size(kUninstallKeys);

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return LowerAscii(c); });
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The value of up to nMaxDigits digits of the base at text[*pPos], moving past them.
char16_t ReadDigits(std::string_view text, size_t* pPos, int nBase, size_t nMaxDigits) {
    unsigned nValue = 0;
    for (size_t n = 0; n < nMaxDigits && *pPos < text.size(); ++n, ++*pPos) {
        const int nDigit = HexValue(text[*pPos]);
        if (nDigit < 0 || nDigit >= nBase) break;
        nValue = nValue * static_cast<unsigned>(nBase) + static_cast<unsigned>(nDigit);
    }
    return static_cast<char16_t>(nValue);
}

// The character of a C escape letter ("\n"), or the letter itself (as for "\\" and "\"").
char16_t EscapedCharacter(char c) {
    static constexpr std::string_view kLetters = "abefnrtv";
    static constexpr char16_t kCodes[] = {7, 8, 27, 12, 10, 13, 9, 11};
    const size_t n = kLetters.find(c);
    return n == std::string_view::npos ? static_cast<unsigned char>(c) : kCodes[n];
}

// Reads an escaped text from text[*pPos] up to the delimiter cEnd and moves past it. UTF-16 units
// from escapes are collected and turned into UTF-8 together, so that surrogate pairs join; other
// bytes are taken as they are. False when the text ends before the delimiter.
bool ReadEscaped(std::string_view text, size_t* pPos, char cEnd, std::string* pOut) {
    std::u16string units;
    pOut->clear();
    auto flush = [&] {
        *pOut += Utf16ToUtf8(units);
        units.clear();
    };
    size_t& i = *pPos;
    while (i < text.size() && text[i] != cEnd) {
        const char c = text[i++];
        if (c != '\\' || i == text.size()) {
            flush();
            pOut->push_back(c);
        } else if (text[i] == 'x') {
            ++i;
            units.push_back(ReadDigits(text, &i, 16, 4));
        } else if (text[i] >= '0' && text[i] <= '7') {
            units.push_back(ReadDigits(text, &i, 8, 3));
        } else {
            units.push_back(EscapedCharacter(text[i++]));
        }
    }
    flush();
    if (i == text.size()) return false;
    ++i;
    return true;
}

// The uninstall entries found so far, per view, with their locations as Windows paths.
struct CUninstallList {
    std::vector<CInstalledProgram> entries[kViews];
    std::map<std::string, size_t> index[kViews];  // lower-case subkey name -> entry
    size_t nView = kViews;                        // the entry that value lines go to, if any
    size_t nEntry = 0;
};

// A key line: when it names a subkey directly below an uninstall key, that subkey's entry takes
// the value lines that follow (a key listed twice keeps one entry); any other key ends the entry.
void ReadKeyLine(std::string_view line, CUninstallList* pList) {
    pList->nView = kViews;
    size_t nPos = 1;
    std::string strKey;
    if (!ReadEscaped(line, &nPos, ']', &strKey)) return;
    strKey = LowerAscii(strKey);
    for (size_t nView = 0; nView < kViews; ++nView) {
        if (!strKey.starts_with(kUninstallKeys[nView])) continue;
        const std::string strSubkey = strKey.substr(kUninstallKeys[nView].size());
        if (strSubkey.empty() || strSubkey.find('\\') != std::string::npos) return;
        const auto [it, bNew] =
            pList->index[nView].emplace(strSubkey, pList->entries[nView].size());
        if (bNew) pList->entries[nView].emplace_back();
        pList->nView = nView;
        pList->nEntry = it->second;
        return;
    }
}

// A value line of the current entry: its display name or install location, as plain or
// expandable string (the latter unexpanded, as the registry reads it).
void ReadValueLine(std::string_view line, CUninstallList* pList) {
    if (pList->nView == kViews) return;
    size_t nPos = 1;
    std::string strName;
    if (!ReadEscaped(line, &nPos, '"', &strName) || !line.substr(nPos).starts_with('=')) return;
    std::string_view value = line.substr(nPos + 1);
    if (value.starts_with("str(2):")) value.remove_prefix(7);
    size_t nValuePos = 1;
    std::string strValue;
    if (!value.starts_with('"') || !ReadEscaped(value, &nValuePos, '"', &strValue)) return;
    CInstalledProgram& entry = pList->entries[pList->nView][pList->nEntry];
    strName = LowerAscii(strName);
    if (strName == "displayname") entry.strName = strValue;
    if (strName == "installlocation") entry.strLocation = strValue;
}

CUninstallList ParseUninstallList(std::string_view text) {
    CUninstallList list;
    while (!text.empty()) {
        const size_t nEnd = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, nEnd);
        text.remove_prefix(std::min(nEnd + 1, text.size()));
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[')) ReadKeyLine(line, &list);
        if (line.starts_with('"')) ReadValueLine(line, &list);
    }
    return list;
}

}  // namespace

std::vector<CInstalledProgram> ParseWineUninstallEntries(std::string_view text) {
    CUninstallList list = ParseUninstallList(text);
    std::vector<CInstalledProgram> programs;
    for (auto& view : list.entries) {
        for (CInstalledProgram& entry : view) programs.push_back(std::move(entry));
    }
    return programs;
}

}  // namespace platform
