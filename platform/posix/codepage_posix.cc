// Text conversions on iconv. UTF-8 and UTF-16 are decoded by hand so that malformed input is
// replaced the same way everywhere; legacy code pages go through iconv.
#include <errno.h>
#include <iconv.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "platform/codepage.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr const char* kDefaultCodePage = "CP1252";

std::mutex g_codePageMutex;
std::string g_strLegacyCodePage;  // empty until first use or SetLegacyCodePage

// One step of UTF-8 decoding at the start of `text`. A well-formed sequence gives its code
// point; a malformed one gives nLength = the maximal ill-formed prefix (at least one byte),
// the unit that is replaced by one U+FFFD.
struct Utf8Step {
    char32_t cp;
    size_t nLength;
    bool bValid;
};

Utf8Step DecodeUtf8(std::string_view text) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return {b0, 1, true};
    size_t nNeed = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        nNeed = 1, cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        nNeed = 2, cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        nNeed = 3, cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        return {kReplacement, 1, false};
    }
    for (size_t i = 1; i <= nNeed; ++i) {
        if (i >= text.size()) return {kReplacement, i, false};
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < lo || b > hi) return {kReplacement, i, false};
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80, hi = 0xBF;
    }
    return {cp, nNeed + 1, true};
}

// Bytes of the code point at the start of `text`; a malformed byte counts as one code point.
size_t CodePointUnit(std::string_view text) {
    const Utf8Step step = DecodeUtf8(text);
    return step.bValid ? step.nLength : 1;
}

// Owns an iconv descriptor for one conversion.
bool IsNamed(const std::string& name, std::string_view upper) {
    if (name.size() != upper.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != upper[i]) return false;
    }
    return true;
}

bool IsCp1252(const std::string& name) {
    return IsNamed(name, "CP1252") || IsNamed(name, "WINDOWS-1252");
}

// The five bytes code page 1252 leaves undefined. Windows maps them to the C1 controls of the
// same value and back; iconv refuses them.
bool IsCp1252Hole(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

class CIconv {
  public:
    CIconv(const std::string& from, const std::string& to)
        : m_cd(iconv_open(to.c_str(), from.c_str())),
          m_bDecode1252(IsCp1252(from) && IsNamed(to, "UTF-8")),
          m_bEncode1252(IsNamed(from, "UTF-8") && IsCp1252(to)) {}
    ~CIconv() {
        if (IsOpen()) iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`, appending to *out. With bReplace, each byte iconv cannot decode
    // becomes U+FFFD (the output must then be UTF-8) and the call succeeds; without it the
    // call stops at the first such byte and returns false. With pnIncompleteTail, a character
    // cut off at the end of `in` stops the call instead, and *pnIncompleteTail tells its bytes.
    bool Run(std::string_view in, bool bReplace, std::string* out,
             size_t* pnIncompleteTail = nullptr) {
        char* pIn = const_cast<char*>(in.data());
        size_t nInLeft = in.size();
        bool bLossless = true;
        while (true) {
            const size_t nRet = Step(pIn == nullptr ? nullptr : &pIn, &nInLeft, out);
            if (nRet != static_cast<size_t>(-1)) {
                if (nRet > 0) bLossless = false;  // irreversible conversions were made
                if (pIn == nullptr) return bLossless;
                pIn = nullptr;  // input consumed: flush the shift state
                continue;
            }
            if (errno == E2BIG) continue;
            if (errno == EINVAL && pnIncompleteTail != nullptr) {
                *pnIncompleteTail = nInLeft;
                return false;
            }
            if (errno == EILSEQ && TakeCp1252Hole(&pIn, &nInLeft, out)) continue;
            if (!bReplace || nInLeft == 0) return false;
            AppendUtf8(kReplacement, out);
            ++pIn, --nInLeft;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
    }

  private:
    // Converts one code page 1252 hole at *ppIn the way Windows does; false when none is there.
    bool TakeCp1252Hole(char** ppIn, size_t* pnInLeft, std::string* out) {
        const auto* p = reinterpret_cast<const unsigned char*>(*ppIn);
        if (m_bDecode1252 && IsCp1252Hole(p[0])) {
            AppendUtf8(p[0], out);
            ++*ppIn, --*pnInLeft;
            return true;
        }
        if (m_bEncode1252 && *pnInLeft >= 2 && p[0] == 0xC2 && IsCp1252Hole(p[1])) {
            out->push_back(static_cast<char>(p[1]));
            *ppIn += 2, *pnInLeft -= 2;
            return true;
        }
        return false;
    }

    // One iconv call into a local buffer; whatever it produced is appended to *out.
    size_t Step(char** ppIn, size_t* pnInLeft, std::string* out) {
        char buffer[4096];
        char* pOut = buffer;
        size_t nOutLeft = sizeof(buffer);
        const size_t nRet = iconv(m_cd, ppIn, pnInLeft, &pOut, &nOutLeft);
        const int nErr = errno;
        out->append(buffer, static_cast<size_t>(pOut - buffer));
        errno = nErr;
        return nRet;
    }

    iconv_t m_cd;
    bool m_bDecode1252;
    bool m_bEncode1252;
};

}  // namespace

void AppendUtf8(char32_t cp, std::string* out) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void SetLegacyCodePage(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    g_strLegacyCodePage = name;
}

std::string GetLegacyCodePage() {
    std::lock_guard<std::mutex> lock(g_codePageMutex);
    if (g_strLegacyCodePage.empty()) {
        const char* szEnv = std::getenv("ZELVO_ANSI_CODEPAGE");
        g_strLegacyCodePage = (szEnv != nullptr && *szEnv != '\0') ? szEnv : kDefaultCodePage;
    }
    return g_strLegacyCodePage;
}

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const Utf8Step step = DecodeUtf8(bytes.substr(i));
        if (!step.bValid) return false;
        i += step.nLength;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const Utf8Step step = DecodeUtf8(bytes.substr(i));
        if (step.bValid) {
            out.append(bytes.substr(i, step.nLength));
        } else {
            AppendUtf8(kReplacement, &out);
        }
        i += step.nLength;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    CIconv converter(GetLegacyCodePage(), "UTF-8");
    if (!converter.IsOpen()) return SanitizeUtf8(bytes);  // unknown code page name
    std::string out;
    converter.Run(bytes, true, &out);
    return out;
}

std::string_view CutAnsiText(std::string_view bytes, size_t maxBytes) {
    if (bytes.size() <= maxBytes) return bytes;
    size_t n = maxBytes;
    if (IsValidUtf8(bytes)) {
        while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
        return bytes.substr(0, n);
    }
    // Legacy text: iconv tells where a multi-byte character is cut off at the end.
    CIconv converter(GetLegacyCodePage(), "UTF-8");
    std::string ignored;
    size_t nTail = 0;
    if (converter.IsOpen()) converter.Run(bytes.substr(0, n), true, &ignored, &nTail);
    return bytes.substr(0, n - nTail);
}

std::string Utf8ToAnsi(std::string_view text) {
    return std::string(text);
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const Utf8Step step = DecodeUtf8(text.substr(i));
        if (step.cp >= 0x10000) {
            const char32_t v = step.cp - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(step.cp));
        }
        i += step.nLength;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        const bool bHigh = cp >= 0xD800 && cp <= 0xDBFF;
        const bool bLowNext = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (bHigh && bLowNext) cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        AppendUtf8(cp, &out);  // an unpaired surrogate becomes U+FFFD
    }
    return out;
}

bool ConvertEncoding(std::string_view in, const std::string& from, const std::string& to,
                     std::string* out) {
    // Converted into a local string first: `in` may view *out itself.
    std::string converted;
    CIconv converter(from, to);
    const bool bOk = converter.IsOpen() && converter.Run(in, false, &converted);
    out->swap(converted);
    return bOk;
}

size_t CountCodePoints(std::string_view text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++n) i += CodePointUnit(text.substr(i));
    return n;
}

std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints) {
    size_t i = 0;
    for (size_t n = 0; n < maxCodePoints && i < text.size(); ++n)
        i += CodePointUnit(text.substr(i));
    return text.substr(0, i);
}

}  // namespace platform
