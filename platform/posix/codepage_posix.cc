// Legacy code pages and named encodings on iconv; codepage_common.cc has the rest.
#include <errno.h>
#include <iconv.h>

#include <cctype>

#include "platform/codepage.h"
#include "platform/codepage_backend.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// True when name equals the upper-case name given, without regard to ASCII case.
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

// Owns an iconv descriptor for one conversion.
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

namespace codepage_backend {

std::string DefaultCodePage() {
    return "CP1252";
}

bool DecodeLegacy(std::string_view bytes, const std::string& codePage, std::string* out) {
    CIconv converter(codePage, "UTF-8");
    if (!converter.IsOpen()) return false;
    converter.Run(bytes, true, out);
    return true;
}

size_t IncompleteTail(std::string_view bytes, const std::string& codePage) {
    CIconv converter(codePage, "UTF-8");
    std::string ignored;
    size_t nTail = 0;
    if (converter.IsOpen()) converter.Run(bytes, true, &ignored, &nTail);
    return nTail;
}

}  // namespace codepage_backend

bool ConvertEncoding(std::string_view in, const std::string& from, const std::string& to,
                     std::string* out) {
    // Converted into a local string first: `in` may view *out itself.
    std::string converted;
    CIconv converter(from, to);
    const bool bOk = converter.IsOpen() && converter.Run(in, false, &converted);
    out->swap(converted);
    return bOk;
}

}  // namespace platform
