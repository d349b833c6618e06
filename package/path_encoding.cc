#include "package/path_encoding.h"

#include <string_view>

#include "platform/codepage.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"

namespace {

bool IsAscii(std::string_view bytes) {
    for (unsigned char c : bytes) {
        if (c >= 0x80) return false;
    }
    return true;
}

// The length of the sequence a UTF-8 lead byte opens, longest form first; 0 for no lead byte.
size_t Utf8SequenceLength(unsigned char c) {
    if ((c & 0xFE) == 0xFC) return 6;
    if ((c & 0xFC) == 0xF8) return 5;
    if ((c & 0xF8) == 0xF0) return 4;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xE0) == 0xC0) return 2;
    return 0;
}

// The shape of UTF-8 only: lead bytes and continuation bytes, no check of the values they
// encode (the conversion rejects overlong forms and code points UTF-16 cannot hold).
bool LooksLikeUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t nLength = Utf8SequenceLength(c);
        if (nLength == 0 || i + nLength > bytes.size()) return false;
        for (size_t k = 1; k < nLength; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += nLength;
    }
    return true;
}

// Every byte 0x80 or above is a lead byte 0x81-0xFE followed by a trail byte 0x40-0xFE.
bool LooksLikeGbk(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) continue;
        if (c == 0x80 || c == 0xFF || i + 1 == bytes.size()) return false;
        const auto t = static_cast<unsigned char>(bytes[++i]);
        if (t < 0x40 || t == 0xFF) return false;
    }
    return true;
}

// UTF-8 text to UTF-16: -5 for malformed text, -3 for an empty result.
int Utf8ToWide(std::string_view text, std::u16string* pOut) {
    if (!platform::IsValidUtf8(text)) return -5;
    *pOut = platform::Utf8ToUtf16(text);
    return pOut->empty() ? -3 : 0;
}

}  // namespace

int NarrowToWidePath(const std::string& strNarrow, std::u16string* pOut) {
    if (pOut == nullptr) return -1;
    if (strNarrow.empty()) {
        pOut->clear();
        return 0;
    }
    if (IsAscii(strNarrow)) return Utf8ToWide(platform::AnsiToUtf8(strNarrow), pOut);
    if (LooksLikeUtf8(strNarrow)) return Utf8ToWide(strNarrow, pOut);
    if (!LooksLikeGbk(strNarrow)) return -1;
    std::string strUtf8;
    if (!platform::ConvertEncoding(strNarrow, "GB18030", "UTF-8", &strUtf8)) return -5;
    return Utf8ToWide(strUtf8, pOut);
}

int OpenFileForIo(const std::u16string& strPath, bool bWrite, int* pFd, int64_t* pSize) {
    if (pFd == nullptr) return -3;
    // This system names files by their UTF-8 bytes.
    const std::string strNative = platform::Utf16ToUtf8(strPath);
    if (bWrite && !platform::CreateDirectories(platform::ParentDirectory(strNative))) return -2;
    const int nHandle = platform::OpenFileHandle(strNative, bWrite);
    if (nHandle < 0) return -3;
    platform::CFileStream file;
    file.Attach(nHandle);
    if (pSize != nullptr) {
        int64_t nSize = 0;
        if (!file.Seek(0, platform::CFileStream::Origin::kEnd, &nSize)) return -4;
        if (!file.Seek(0, platform::CFileStream::Origin::kBegin, nullptr)) return -5;
        *pSize = nSize;
    }
    *pFd = file.Detach();
    return 0;
}
