// Encoding names as Windows understands them. Files name their encoding with one of many labels,
// and Windows reads several legacy labels as a wider code page than the standard one: "gb2312"
// as code page 936 (GBK), "iso-8859-1" and "us-ascii" as 1252, "shift_jis" as 932. Files are
// read and written here through the same table, so that a file reads as it does on Windows and
// what is written reads back the same.
#pragma once

#include <string>
#include <string_view>

namespace xml {

// The iconv name of the encoding that a label stands for: "UTF-8", "UTF-16", "UTF-16LE",
// "UTF-16BE" or "UTF-7" for the Unicode forms, the Windows code page for a legacy label that
// Windows widens ("CP936" for "gb2312"), otherwise the label itself. Labels are compared without
// regard to letter case and surrounding white space. Empty for an empty label.
std::string CanonicalEncoding(std::string_view label);

}  // namespace xml
