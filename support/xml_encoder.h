// Turns UTF-8 document text into the bytes of encodings that the plain converter cannot write
// whole: legacy code pages that lack some characters, and UTF-7.
#pragma once

#include <string>
#include <string_view>

namespace xml {

// Converts text to a legacy encoding. A character the encoding lacks is written as a character
// reference in character data and attribute values, and inside a CDATA section the section is
// split around the reference; anywhere else (names, comments, processing instructions, the
// document type) nothing can stand for it, and the call fails. Records "conversion_loss" and
// "converted_from" in *result.
bool EncodeLegacy(std::string_view text, const std::string& encoding, std::string* bytes,
                  std::string* result);

// UTF-7 that keeps every direct character plain, so that the markup and the declaration stay
// readable as ASCII; only runs of other characters are written in base64. An encoder that
// writes the optional characters in base64 too (as iconv does) hides the declaration.
std::string EncodeUtf7(std::string_view text);

}  // namespace xml
