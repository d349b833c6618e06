// Legacy code pages and named encodings on the Windows code page functions; codepage_common.cc
// has the rest. Encodings are named as iconv names them ("CP936", "GBK", "UTF-16LE") and map
// to code page numbers. A conversion that fails part-way keeps the longest start that converts:
// the input is cut at character boundaries and the cut point found by bisection.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/codepage_backend.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

constexpr UINT kUnknown = 0;
constexpr UINT kUtf16Le = 1200;  // the code page numbers Windows gives UTF-16,
constexpr UINT kUtf16Be = 1201;  // which the conversion functions leave to the caller
constexpr UINT kGb18030 = 54936;
constexpr wchar_t kReplacement = 0xFFFD;

struct CEncodingName {
    std::string_view name;  // upper case
    UINT nCodePage;
};

constexpr CEncodingName kEncodingNames[] = {
    {"UTF-8", CP_UTF8},      {"UTF8", CP_UTF8},     {"UTF-7", CP_UTF7},
    {"UTF7", CP_UTF7},       {"UTF-16LE", kUtf16Le}, {"UTF-16BE", kUtf16Be},
    {"GBK", 936},            {"GB2312", 936},       {"EUC-CN", 936},
    {"GB18030", kGb18030},   {"BIG5", 950},         {"SHIFT_JIS", 932},
    {"SJIS", 932},           {"EUC-KR", 949},       {"UHC", 949},
    {"EUC-JP", 20932},       {"KOI8-R", 20866},     {"KOI8-U", 21866},
    {"ISO-8859-1", 28591},   {"LATIN1", 28591},     {"US-ASCII", 20127},
    {"ASCII", 20127},
};

// Prefixes followed by a number: the code page is that number plus the offset.
struct CNumberedName {
    std::string_view prefix;
    UINT nOffset;
};

constexpr CNumberedName kNumberedNames[] = {
    {"CP", 0}, {"WINDOWS-", 0}, {"MS", 0}, {"IBM", 0}, {"ISO-8859-", 28590}, {"ISO8859-", 28590},
};

std::string Upper(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// The number that a whole string of decimal digits spells; 0 when it is anything else.
UINT NumberOf(std::string_view digits) {
    if (digits.empty() || digits.size() > 5) return 0;
    UINT n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + static_cast<UINT>(c - '0');
    }
    return n;
}

UINT NamedCodePage(const std::string& upper) {
    for (const CEncodingName& entry : kEncodingNames) {
        if (upper == entry.name) return entry.nCodePage;
    }
    for (const CNumberedName& entry : kNumberedNames) {
        if (upper.starts_with(entry.prefix)) {
            const UINT n = NumberOf(std::string_view(upper).substr(entry.prefix.size()));
            return n == 0 ? kUnknown : n + entry.nOffset;
        }
    }
    return kUnknown;
}

// The code page of an encoding name; kUnknown when the name or the code page is unknown here.
UINT CodePageOf(const std::string& name) {
    const UINT nCodePage = NamedCodePage(Upper(name));
    if (nCodePage == kUtf16Le || nCodePage == kUtf16Be) return nCodePage;
    if (nCodePage == kUnknown) return kUnknown;
    if (IsValidCodePage(nCodePage)) return nCodePage;
    // Without GB18030 (Wine has none), its one- and two-byte part is GBK: such text still
    // converts, and a four-byte character fails instead of being misread.
    return nCodePage == kGb18030 && IsValidCodePage(936) ? 936 : kUnknown;
}

// Code pages whose conversions take no flags, so they neither report nor refuse lossy text.
bool TakesNoFlags(UINT nCodePage) {
    return nCodePage == CP_UTF7 || nCodePage == 42 || (nCodePage >= 50220 && nCodePage <= 50229) ||
           nCodePage == 52936 || (nCodePage >= 57002 && nCodePage <= 57011);
}

// Bytes of the character that starts `rest` in the code page (the lead byte decides).
size_t CharLength(UINT nCodePage, UINT nMaxCharSize, std::string_view rest) {
    const auto b0 = static_cast<unsigned char>(rest[0]);
    if (nCodePage == CP_UTF8) return b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 1;
    if (nCodePage == kGb18030) {
        if (b0 < 0x81 || b0 == 0xFF) return 1;
        const bool bDigit = rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9';
        return bDigit ? 4 : 2;
    }
    return nMaxCharSize > 1 && IsDBCSLeadByteEx(nCodePage, b0) ? 2 : 1;
}

// Offsets of the character starts of the text, and its end when the last character is whole.
std::vector<size_t> CharBoundaries(UINT nCodePage, std::string_view bytes) {
    CPINFO info{};
    if (!GetCPInfo(nCodePage, &info)) info.MaxCharSize = 1;
    std::vector<size_t> boundaries{0};
    for (size_t i = 0; i < bytes.size();) {
        i += CharLength(nCodePage, info.MaxCharSize, bytes.substr(i));
        if (i <= bytes.size()) boundaries.push_back(i);
    }
    return boundaries;
}

// The largest boundary whose start of the text passes `fits`; the first boundary must pass,
// the whole text is known to fail.
template <typename Fits>
size_t LongestFitting(const std::vector<size_t>& boundaries, Fits fits) {
    size_t nLow = 0, nHigh = boundaries.size();
    while (nHigh - nLow > 1) {
        const size_t nMid = nLow + (nHigh - nLow) / 2;
        (fits(boundaries[nMid]) ? nLow : nHigh) = nMid;
    }
    return boundaries[nLow];
}

bool MultiToWide(UINT nCodePage, DWORD ulFlags, std::string_view bytes, std::wstring* pWide) {
    if (bytes.empty()) return true;
    const int nBytes = static_cast<int>(bytes.size());
    const int nWide = MultiByteToWideChar(nCodePage, ulFlags, bytes.data(), nBytes, nullptr, 0);
    if (nWide <= 0) return false;
    const size_t nAt = pWide->size();
    pWide->resize(nAt + static_cast<size_t>(nWide));
    return MultiByteToWideChar(nCodePage, ulFlags, bytes.data(), nBytes, pWide->data() + nAt,
                               nWide) == nWide;
}

// UTF-16 bytes of either order up to an unpaired surrogate or an odd last byte.
size_t DecodeUtf16(bool bBigEndian, std::string_view bytes, std::wstring* pWide) {
    auto unit = [&](size_t i) -> wchar_t {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<wchar_t>(bBigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    };
    const size_t nUnits = bytes.size() / 2;
    size_t i = 0;
    while (i < nUnits) {
        const wchar_t c = unit(i);
        const bool bHigh = c >= 0xD800 && c <= 0xDBFF;
        if (c >= 0xDC00 && c <= 0xDFFF) break;
        if (bHigh && (i + 1 >= nUnits || unit(i + 1) < 0xDC00 || unit(i + 1) > 0xDFFF)) break;
        pWide->push_back(c);
        if (bHigh) pWide->push_back(unit(++i));
        ++i;
    }
    return 2 * i;
}

// Decodes the longest start of the text that converts without error and returns its bytes.
size_t DecodePrefix(UINT nCodePage, std::string_view bytes, std::wstring* pWide) {
    if (nCodePage == kUtf16Le || nCodePage == kUtf16Be) {
        return DecodeUtf16(nCodePage == kUtf16Be, bytes, pWide);
    }
    if (nCodePage == CP_UTF8) {
        const size_t nValid = codepage_backend::ValidUtf8Length(bytes);
        MultiToWide(CP_UTF8, 0, bytes.substr(0, nValid), pWide);
        return nValid;
    }
    if (TakesNoFlags(nCodePage)) return MultiToWide(nCodePage, 0, bytes, pWide) ? bytes.size() : 0;
    if (MultiToWide(nCodePage, MB_ERR_INVALID_CHARS, bytes, pWide)) return bytes.size();
    std::wstring probe;
    const size_t nFit = LongestFitting(CharBoundaries(nCodePage, bytes), [&](size_t n) {
        probe.clear();
        return MultiToWide(nCodePage, MB_ERR_INVALID_CHARS, bytes.substr(0, n), &probe);
    });
    MultiToWide(nCodePage, 0, bytes.substr(0, nFit), pWide);
    return nFit;
}

// Encodes the whole text; false when a character has no form in the code page.
bool WideToMulti(UINT nCodePage, std::wstring_view wide, std::string* pBytes) {
    if (wide.empty()) return true;
    const bool bNoFlags = TakesNoFlags(nCodePage) || nCodePage == CP_UTF8;
    const bool bComplete = bNoFlags || nCodePage == kGb18030;  // every character has a form
    const DWORD ulFlags = bNoFlags ? 0 : bComplete ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL bLossy = FALSE;
    BOOL* pbLossy = bComplete ? nullptr : &bLossy;
    const int nWide = static_cast<int>(wide.size());
    const int nBytes = WideCharToMultiByte(nCodePage, ulFlags, wide.data(), nWide, nullptr, 0,
                                           nullptr, pbLossy);
    if (nBytes <= 0 || bLossy) return false;
    const size_t nAt = pBytes->size();
    pBytes->resize(nAt + static_cast<size_t>(nBytes));
    return WideCharToMultiByte(nCodePage, ulFlags, wide.data(), nWide, pBytes->data() + nAt,
                               nBytes, nullptr, pbLossy) == nBytes &&
           !bLossy;
}

void EncodeUtf16(bool bBigEndian, std::wstring_view wide, std::string* pBytes) {
    for (const wchar_t c : wide) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        pBytes->push_back(bBigEndian ? hi : lo);
        pBytes->push_back(bBigEndian ? lo : hi);
    }
}

// Encodes the longest start of the (well-formed) text that the code page holds without loss
// and returns its length in UTF-16 units.
size_t EncodePrefix(UINT nCodePage, std::wstring_view wide, std::string* pBytes) {
    if (nCodePage == kUtf16Le || nCodePage == kUtf16Be) {
        EncodeUtf16(nCodePage == kUtf16Be, wide, pBytes);
        return wide.size();
    }
    std::string converted;
    if (WideToMulti(nCodePage, wide, &converted)) {
        pBytes->append(converted);
        return wide.size();
    }
    std::vector<size_t> boundaries{0};
    for (size_t i = 1; i <= wide.size(); ++i) {
        if (i == wide.size() || wide[i] < 0xDC00 || wide[i] > 0xDFFF) boundaries.push_back(i);
    }
    const size_t nFit = LongestFitting(boundaries, [&](size_t n) {
        converted.clear();
        return WideToMulti(nCodePage, wide.substr(0, n), &converted);
    });
    WideToMulti(nCodePage, wide.substr(0, nFit), pBytes);
    return nFit;
}

}  // namespace

namespace codepage_backend {

std::string DefaultCodePage() {
    return "CP" + std::to_string(GetACP());
}

bool DecodeLegacy(std::string_view bytes, const std::string& codePage, std::string* out) {
    const UINT nCodePage = CodePageOf(codePage);
    if (nCodePage == kUnknown) return false;
    std::wstring wide;
    while (!bytes.empty()) {
        bytes.remove_prefix(DecodePrefix(nCodePage, bytes, &wide));
        if (bytes.empty()) break;
        wide.push_back(kReplacement);  // one byte that does not decode
        bytes.remove_prefix(1);
    }
    out->append(Utf8FromWide(wide));
    return true;
}

size_t IncompleteTail(std::string_view bytes, const std::string& codePage) {
    const UINT nCodePage = CodePageOf(codePage);
    if (nCodePage == kUnknown || bytes.empty()) return 0;
    const std::vector<size_t> boundaries = CharBoundaries(nCodePage, bytes);
    return bytes.size() - boundaries.back();
}

}  // namespace codepage_backend

bool ConvertEncoding(std::string_view in, const std::string& from, const std::string& to,
                     std::string* out) {
    // Converted into a local string first: `in` may view *out itself.
    std::string converted;
    const UINT nFrom = CodePageOf(from), nTo = CodePageOf(to);
    bool bOk = nFrom != kUnknown && nTo != kUnknown;
    if (bOk) {
        std::wstring wide;
        const size_t nDecoded = DecodePrefix(nFrom, in, &wide);
        bOk = EncodePrefix(nTo, wide, &converted) == wide.size() && nDecoded == in.size();
    }
    out->swap(converted);
    return bOk;
}

}  // namespace platform
