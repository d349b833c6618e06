// Private-profile (INI) files as plain text logic over file_system.h and codepage.h.
//
// The file is kept as bytes and split into lines that remember their own line ending, so a
// write changes exactly one line (or inserts one or two) and leaves every other byte as it
// was. A file that starts with a UTF-16LE byte-order mark is edited as UTF-8 and written back
// as UTF-16LE with its mark.
#include "platform/profile.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_system.h"

namespace platform {

namespace {

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileEol = "\r\n";  // what the Windows functions write
constexpr size_t kNone = static_cast<size_t>(-1);

// Read-modify-write of a settings file is one step for the whole process.
std::mutex g_profileWriteMutex;

struct CIniLine {
    std::string_view content;  // without the line ending
    std::string_view eol;      // "\n", "\r\n" or empty on a last line without one
};

// The text of a settings file and how it was stored.
struct CIniText {
    std::string strText;    // UTF-16 files converted to UTF-8; others as stored
    std::string strPrefix;  // a UTF-8 byte-order mark kept out of the line logic
    bool bUtf16 = false;
    bool bRead = false;  // false: missing or unreadable
};

// Where a key is, or where it would go.
struct CKeyLocation {
    size_t nSectionLine = kNone;  // the section's header line
    size_t nKeyLine = kNone;      // the key's line
    size_t nInsertAfter = kNone;  // the section's last key line, else its header
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::vector<CIniLine> SplitLines(std::string_view text) {
    std::vector<CIniLine> lines;
    while (!text.empty()) {
        const size_t nLf = text.find('\n');
        const size_t nEnd = nLf == std::string_view::npos ? text.size() : nLf;
        const size_t nCr = (nEnd > 0 && text[nEnd - 1] == '\r') ? 1 : 0;
        const size_t nNext = nLf == std::string_view::npos ? text.size() : nLf + 1;
        lines.push_back({text.substr(0, nEnd - nCr), text.substr(nEnd - nCr, nNext - nEnd + nCr)});
        text.remove_prefix(nNext);
    }
    return lines;
}

// "[name]" with optional blanks; the text after ']' is ignored.
bool ParseSectionHeader(std::string_view content, std::string_view* name) {
    content = Trim(content);
    if (content.empty() || content.front() != '[') return false;
    content.remove_prefix(1);
    *name = Trim(content.substr(0, content.find(']')));
    return true;
}

// "key = value"; comment lines and lines without '=' are not keys.
bool ParseKeyLine(std::string_view content, std::string_view* key, std::string_view* value) {
    const std::string_view trimmed = Trim(content);
    const size_t nEq = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || nEq == std::string_view::npos) return false;
    *key = Trim(trimmed.substr(0, nEq));
    *value = trimmed.substr(nEq + 1);
    return true;
}

// The first section named `section` and the first `key` in it. Names are compared as the
// parser sees them in the file: without surrounding blanks.
CKeyLocation LocateKey(const std::vector<CIniLine>& lines, std::string_view section,
                       std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    CKeyLocation loc;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name, value;
        if (ParseSectionHeader(lines[i].content, &name)) {
            if (loc.nSectionLine != kNone) break;  // the section ended
            if (EqualsNoCase(name, section)) loc.nSectionLine = loc.nInsertAfter = i;
        } else if (loc.nSectionLine != kNone && ParseKeyLine(lines[i].content, &name, &value)) {
            loc.nInsertAfter = i;
            if (EqualsNoCase(name, key)) {
                loc.nKeyLine = i;
                break;
            }
        }
    }
    return loc;
}

// A stored value as the Windows functions hand it out: blanks and one pair of matching
// quotes removed.
std::string_view CleanValue(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

CIniText LoadIniText(const std::string& path) {
    CIniText ini;
    ini.bRead = ReadFileBytes(path, &ini.strText);
    if (!ini.bRead) return ini;
    std::string_view bytes = ini.strText;
    if (bytes.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
        bytes.remove_prefix(kUtf16LeBom.size());
        std::u16string wide(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < wide.size(); ++i) {
            wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        }
        ini.bUtf16 = true;
        ini.strText = Utf16ToUtf8(wide);
    } else if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        ini.strPrefix = kUtf8Bom;
        ini.strText.erase(0, kUtf8Bom.size());
    }
    return ini;
}

std::string EncodeIniText(const CIniText& ini, const std::string& text) {
    if (!ini.bUtf16) return ini.strPrefix + text;
    std::string bytes(kUtf16LeBom);
    for (char16_t unit : Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// The cleaned value of section/key in `text`, or false when either is missing.
bool FindValue(std::string_view text, const std::string& section, const std::string& key,
               std::string_view* value) {
    const std::vector<CIniLine> lines = SplitLines(text);
    const CKeyLocation loc = LocateKey(lines, section, key);
    std::string_view name;
    if (loc.nKeyLine == kNone || !ParseKeyLine(lines[loc.nKeyLine].content, &name, value)) {
        return false;
    }
    *value = CleanValue(*value);
    return true;
}

// Looks up the value in the file's text (made well-formed UTF-8 when bSanitize), falling back
// to the default with its trailing blanks removed.
std::string LookUp(const std::string& section, const std::string& key,
                   const std::string& defaultValue, const std::string& path, bool bSanitize) {
    const CIniText ini = LoadIniText(path);
    const std::string text = bSanitize ? SanitizeUtf8(ini.strText) : ini.strText;
    std::string_view value;
    if (FindValue(text, section, key, &value)) return std::string(value);
    std::string_view fallback = defaultValue;
    while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
    return std::string(fallback);
}

// A line ends properly with "\n" or "\r\n"; the last line of a file may have no ending, or a
// bare "\r" that no reader takes for a line break.
bool IsTerminated(const CIniLine& line) {
    return line.eol.ends_with('\n');
}

// The line ending the file already uses; a new file gets the Windows one.
std::string_view DetectEol(const std::vector<CIniLine>& lines) {
    for (const CIniLine& line : lines) {
        if (IsTerminated(line)) return line.eol;
    }
    return kNewFileEol;
}

// The one judge of what a write may store, so that every successful write reads back: names
// are stored without surrounding blanks (the reader trims them), a key may not read as a
// comment or a section header, and nothing may break the line structure.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value) {
    const auto hasBreak = [](std::string_view s) {
        return s.find_first_of("\r\n") != std::string_view::npos;
    };
    key = Trim(key);
    return !key.empty() && key.front() != ';' && key.front() != '[' &&
           key.find('=') == std::string_view::npos && section.find(']') == std::string_view::npos &&
           !hasBreak(section) && !hasBreak(key) && !hasBreak(value);
}

// The ending given to a last line that had none. After text that ends in '\r' it must be
// "\r\n": a bare "\n" would make that '\r' part of the ending, and the value would lose it.
std::string_view NewLineEnding(std::string_view written, std::string_view eol) {
    return written.ends_with('\r') ? std::string_view("\r\n") : eol;
}

// The text with section/key set to value.
std::string ApplyWrite(std::string_view text, std::string_view section, std::string_view key,
                       const std::string& value) {
    const std::vector<CIniLine> lines = SplitLines(text);
    const std::string_view eol = DetectEol(lines);
    const CKeyLocation loc = LocateKey(lines, section, key);
    section = Trim(section);
    key = Trim(key);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == loc.nKeyLine) {
            // Keep the key as spelled and the blanks after '='; replace only the value.
            const std::string_view content = lines[i].content;
            const size_t nValue = content.find_first_not_of(" \t", content.find('=') + 1);
            out.append(content.substr(0, std::min(nValue, content.size()))).append(value);
        } else {
            out.append(lines[i].content);
        }
        const bool bInsertHere = loc.nKeyLine == kNone && i == loc.nInsertAfter;
        const bool bFollowed = bInsertHere || (loc.nSectionLine == kNone && i + 1 == lines.size());
        out.append(bFollowed && !IsTerminated(lines[i]) ? NewLineEnding(out, eol) : lines[i].eol);
        if (bInsertHere) out.append(key).append("=").append(value).append(eol);
    }
    if (loc.nSectionLine == kNone) {
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
    }
    return out;
}

}  // namespace

int GetProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path) {
    const std::string value = LookUp(section, key, "", path, false);
    if (value.empty()) return defaultValue;
    size_t i = 0;
    const bool bNegative = value[0] == '-';
    if (value[0] == '-' || value[0] == '+') ++i;
    long long nResult = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        nResult = std::min(nResult * 10 + (value[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    nResult = bNegative ? -nResult : std::min(nResult, static_cast<long long>(INT_MAX));
    return static_cast<int>(nResult);
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, size_t bufferSize,
                             const std::string& path) {
    if (bufferSize == 0) return std::string();
    const std::string value = LookUp(section, key, SanitizeUtf8(defaultValue), path, true);
    return std::string(TruncateCodePoints(value, bufferSize - 1));
}

std::string GetProfileStringA(const std::string& section, const std::string& key,
                              const std::string& defaultValue, size_t bufferSize,
                              const std::string& path) {
    if (bufferSize == 0) return std::string();
    const std::string value = LookUp(section, key, defaultValue, path, false);
    return std::string(CutAnsiText(value, bufferSize - 1));
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    if (!IsStorable(section, key, value)) return false;
    std::lock_guard<std::mutex> lock(g_profileWriteMutex);
    const CIniText ini = LoadIniText(path);
    // A file that exists but cannot be read must not be replaced by the one new key.
    if (!ini.bRead && (FileExists(path) || DirectoryExists(path))) return false;
    const std::string updated = ApplyWrite(ini.strText, section, key, value);
    if (updated == ini.strText) return true;  // nothing changes
    return WriteFileAtomic(path, EncodeIniText(ini, updated));
}

}  // namespace platform
