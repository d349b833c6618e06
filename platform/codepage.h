// Text conversions. Text inside the program is UTF-8; 8-bit text that arrives from files,
// the box or the tunnel service may be in a legacy code page instead ("ANSI" text).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Sets the legacy code page (an iconv name such as "CP1252" or "GBK") used to decode 8-bit
// text that is not valid UTF-8. The default comes from ZELVO_ANSI_CODEPAGE, else "CP1252" (on
// Windows the system's ANSI code page, "CP" and its number); an empty name restores it. Safe
// to call from any thread.
void SetLegacyCodePage(const std::string& name);
std::string GetLegacyCodePage();

// Returns true iff the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// 8-bit text of the thread's code page to UTF-8: valid UTF-8 is kept as it is, anything else
// is decoded with the legacy code page (undecodable bytes become U+FFFD).
std::string AnsiToUtf8(std::string_view bytes);

// The longest start of 8-bit text that holds at most maxBytes bytes and ends on a whole
// character: of UTF-8 when the whole text is valid UTF-8, else of the legacy code page.
std::string_view CutAnsiText(std::string_view bytes, size_t maxBytes);

// UTF-8 to 8-bit text of the thread's code page. The program's 8-bit text is UTF-8 on every
// system (on Windows too, whose API is called with wide text converted from UTF-8), so this is
// the identity; it exists so that callers mark where the conversion happens.
std::string Utf8ToAnsi(std::string_view text);

// Decodes UTF-8, replacing each malformed sequence with U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// Appends one code point as UTF-8; surrogates and values above U+10FFFF append U+FFFD.
void AppendUtf8(char32_t codePoint, std::string* out);

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Converts between any two encodings iconv knows ("UTF-8", "UTF-16LE", "GBK", ...). On Windows
// the names map to the system's code pages: UTF-8, UTF-7, UTF-16LE/BE, CPnnnn, WINDOWS-nnnn,
// ISO-8859-n, GBK, GB2312, GB18030, BIG5, SHIFT_JIS, EUC-KR, KOI8-R and a few more.
// Returns false when an encoding is unknown or the input cannot be converted without loss;
// *out then holds what was converted before the failure.
bool ConvertEncoding(std::string_view in, const std::string& from, const std::string& to,
                     std::string* out);

// Number of Unicode code points in UTF-8 text (a malformed byte counts as one).
size_t CountCodePoints(std::string_view text);

// The first maxCodePoints code points of UTF-8 text.
std::string_view TruncateCodePoints(std::string_view text, size_t maxCodePoints);

}  // namespace platform
