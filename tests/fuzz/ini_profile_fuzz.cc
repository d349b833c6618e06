// INI settings files: reads of every kind, then one write, on a file body from the input.
//
// Input: section, key, value, a second section and a second key to watch, separated by 0x1F;
// the rest is the file body. Properties that must hold:
//  - a string read holds at most buffer size - 1 bytes (8-bit form) or code points (wide form);
//  - a write that succeeds reads back as written, unless the value has surrounding blanks or
//    quotes, which a read removes; a number written reads back as that number;
//  - a write changes no other key: every section/key pair the input names or the body seems to
//    hold reads the same before and after (all of them when the write fails).
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/profile.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxSections = 6;
constexpr size_t kMaxKeys = 12;
constexpr size_t kLargeBuffer = 65536;
// What a read gives for a pair that is not in the file.
constexpr const char* kMissing = "\x01missing";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Names compare without surrounding blanks and without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b) {
    a = TrimBlanks(a);
    b = TrimBlanks(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A value a read hands back unchanged: no surrounding blanks and no surrounding quotes.
bool ReadsBackAsIs(std::string_view value) {
    if (value.empty()) return true;
    if (IsBlank(value.front()) || IsBlank(value.back())) return false;
    const auto isQuote = [](char c) { return c == '"' || c == '\''; };
    return !(value.size() >= 2 && isQuote(value.front()) && isQuote(value.back()));
}

void AddUnique(std::vector<std::string>* names, std::string_view name, size_t nMax) {
    for (const std::string& known : *names) {
        if (known == name) return;
    }
    if (names->size() < nMax) names->emplace_back(name);
}

// Names the body seems to hold: the text between '[' and ']' of lines that start with '[',
// and the text before '=' of other lines. Only candidates; a read decides what they are.
void CollectNames(std::string_view body, std::vector<std::string>* sections,
                  std::vector<std::string>* keys) {
    for (std::string_view line : SplitRecords(body, '\n', 256)) {
        line = TrimBlanks(line.substr(0, line.find('\r')));
        if (line.starts_with('[')) {
            AddUnique(sections, line.substr(1, line.find(']') - 1), kMaxSections);
        } else if (line.find('=') != std::string_view::npos) {
            AddUnique(keys, line.substr(0, line.find('=')), kMaxKeys);
        }
    }
}

std::string ReadA(const std::string& section, const std::string& key, const std::string& path) {
    return platform::GetProfileStringA(section, key, kMissing, kLargeBuffer, path);
}

void CheckBufferLimits(const std::string& section, const std::string& key, size_t nBuffer,
                       const std::string& path) {
    const std::string narrow = platform::GetProfileStringA(section, key, "", nBuffer, path);
    if (narrow.size() + 1 > nBuffer && !narrow.empty()) {
        ReportViolation("8-bit read longer than its buffer", std::to_string(nBuffer), narrow);
    }
    const std::string wide = platform::GetProfileString(section, key, "", nBuffer, path);
    if (!wide.empty() && platform::CountCodePoints(wide) + 1 > nBuffer) {
        ReportViolation("wide read longer than its buffer", std::to_string(nBuffer), wide);
    }
    if (!platform::IsValidUtf8(wide)) ReportViolation("wide read is not UTF-8", "", wide);
    platform::GetProfileInt(section, key, -7, path);
}

void CheckReadBack(const std::string& section, const std::string& key, const std::string& value,
                   bool bUtf16File, const std::string& path) {
    // A UTF-16 file, and the wide read, hold only well-formed text.
    const bool bUtf8 = platform::IsValidUtf8(section) && platform::IsValidUtf8(key) &&
                       platform::IsValidUtf8(value);
    if (!ReadsBackAsIs(value) || (bUtf16File && !bUtf8)) return;
    if (ReadA(section, key, path) != value) {
        ReportViolation("written value does not read back", value, ReadA(section, key, path));
    }
    const std::string wide = platform::GetProfileString(section, key, kMissing, kLargeBuffer, path);
    if (bUtf8 && wide != value)
        ReportViolation("written value does not read back wide", value, wide);
    int nNumber = 0;
    const auto [pEnd, ec] = std::from_chars(value.data(), value.data() + value.size(), nNumber);
    if (!value.empty() && ec == std::errc() && pEnd == value.data() + value.size() &&
        platform::GetProfileInt(section, key, nNumber + 1, path) != nNumber) {
        ReportViolation("written number does not read back", value,
                        std::to_string(platform::GetProfileInt(section, key, nNumber + 1, path)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = SplitFields(AsText(data, size), kFuzzUnitSep, 6);
    const std::string section(fields[0]), key(fields[1]), value(fields[2]);
    const std::string_view body = fields[5];
    static const std::string path = platform::JoinPath(ScratchDirectory(), "fuzz.ini");
    if (!platform::WriteFileAtomic(path, body)) ReportViolation("cannot write the scratch file");

    std::vector<std::string> sections{section, std::string(fields[3])};
    std::vector<std::string> keys{key, std::string(fields[4])};
    CollectNames(body, &sections, &keys);
    std::vector<std::string> before;
    for (const std::string& s : sections) {
        for (const std::string& k : keys) before.push_back(ReadA(s, k, path));
    }
    CheckBufferLimits(section, key, body.size() % 24, path);

    const bool bWritten = platform::WriteProfileString(section, key, value, path);
    if (bWritten) CheckReadBack(section, key, value, body.starts_with("\xFF\xFE"), path);
    size_t nPair = 0;
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const std::string& old = before[nPair++];
            if (bWritten && SameName(s, section) && SameName(k, key)) continue;
            const std::string now = ReadA(s, k, path);
            if (now != old) {
                ReportViolation("writing [" + section + "] " + key + " changes [" + s + "] " + k,
                                old, now);
            }
        }
    }
    return 0;
}
