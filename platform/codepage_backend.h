// The part of the text conversions that each system supplies (iconv on Linux, the code page
// functions on Windows); codepage_common.cc builds the rest of codepage.h on these and lends
// the backends its UTF-8 decoder.
#pragma once

#include <string>
#include <string_view>

namespace platform::codepage_backend {

// The legacy code page when neither SetLegacyCodePage nor ZELVO_ANSI_CODEPAGE names one.
std::string DefaultCodePage();

// Decodes 8-bit text of the named code page to UTF-8; each byte that cannot be decoded becomes
// U+FFFD. False (and nothing appended) when the code page is unknown.
bool DecodeLegacy(std::string_view bytes, const std::string& codePage, std::string* out);

// Bytes at the end of the text that start a character of the code page but do not complete it.
size_t IncompleteTail(std::string_view bytes, const std::string& codePage);

// Bytes of the longest start of the text that is well-formed UTF-8 (from codepage_common.cc).
size_t ValidUtf8Length(std::string_view bytes);

}  // namespace platform::codepage_backend
