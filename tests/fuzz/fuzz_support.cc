#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/file_system.h"

namespace {

// Owns the scratch folder; the destructor runs when the process exits normally.
class CScratchDirectory {
  public:
    CScratchDirectory() : m_strPath(platform::MakeTempDirectory("zelvo-fuzz")) {
        if (m_strPath.empty()) ReportViolation("cannot make a scratch folder");
    }
    ~CScratchDirectory() { platform::RemoveDirectoryTree(m_strPath); }
    const std::string& Path() const { return m_strPath; }

  private:
    std::string m_strPath;
};

// Bytes as C string literal text, so that blanks, quotes and control characters show.
std::string Quote(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char szEscape[8];
            std::snprintf(szEscape, sizeof szEscape, "\\x%02X", c);
            out += szEscape;
        }
    }
    return out + "\"";
}

}  // namespace

std::vector<std::string_view> SplitFields(std::string_view text, char sep, size_t nMax) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < nMax) {
        const size_t nSep = text.find(sep);
        if (nSep == std::string_view::npos) break;
        fields.push_back(text.substr(0, nSep));
        text.remove_prefix(nSep + 1);
    }
    fields.push_back(text);
    fields.resize(nMax);
    return fields;
}

std::vector<std::string_view> SplitRecords(std::string_view text, char sep, size_t nMax) {
    std::vector<std::string_view> records;
    for (size_t nStart = 0; records.size() < nMax && nStart <= text.size();) {
        const size_t nSep = text.find(sep, nStart);
        const size_t nEnd = nSep == std::string_view::npos ? text.size() : nSep;
        records.push_back(text.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return records;
}

const std::string& ScratchDirectory() {
    static const CScratchDirectory scratch;
    return scratch.Path();
}

void ReportViolation(std::string_view what, std::string_view expected, std::string_view actual) {
    std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(what.size()), what.data());
    if (!expected.empty() || !actual.empty()) {
        std::fprintf(stderr, "  expected %s\n  actual   %s\n", Quote(expected).c_str(),
                     Quote(actual).c_str());
    }
    std::fflush(stderr);
    std::abort();
}
