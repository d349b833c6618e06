// Text conversions that need no system: UTF-8 and UTF-16 are decoded by hand so that malformed
// input is replaced the same way on every system, and the legacy code page setting. Decoding
// legacy code pages and ConvertEncoding are the backends' (codepage_backend.h).
#include <cstdlib>
#include <mutex>

#include "platform/codepage.h"
#include "platform/codepage_backend.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

}  // namespace

namespace codepage_backend {

size_t ValidUtf8Length(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const Utf8Step step = DecodeUtf8(bytes.substr(i));
        if (!step.bValid) break;
        i += step.nLength;
    }
    return i;
}

}  // namespace codepage_backend

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
        g_strLegacyCodePage = (szEnv != nullptr && *szEnv != '\0')
                                  ? std::string(szEnv)
                                  : codepage_backend::DefaultCodePage();
    }
    return g_strLegacyCodePage;
}

bool IsValidUtf8(std::string_view bytes) {
    return codepage_backend::ValidUtf8Length(bytes) == bytes.size();
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
    std::string out;
    if (!codepage_backend::DecodeLegacy(bytes, GetLegacyCodePage(), &out)) {
        return SanitizeUtf8(bytes);  // unknown code page name
    }
    return out;
}

std::string_view CutAnsiText(std::string_view bytes, size_t maxBytes) {
    if (bytes.size() <= maxBytes) return bytes;
    size_t n = maxBytes;
    if (IsValidUtf8(bytes)) {
        while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
        return bytes.substr(0, n);
    }
    const std::string_view head = bytes.substr(0, n);
    return head.substr(0, n - codepage_backend::IncompleteTail(head, GetLegacyCodePage()));
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
