// The encoding layer of XML files: finds the encoding of file bytes (byte-order mark,
// declaration, UTF-8 test, else the ANSI code page) and turns them into UTF-8 text, and turns
// text back into bytes in the encoding that the text declares.
#pragma once

#include <string>
#include <string_view>

namespace xml {

// The encoding named in the first 1024 bytes by the XML declaration or, in an HTML document, by
// a meta element in html/head (http-equiv Content-Type with a charset in its content, or a
// charset attribute). Empty when nothing is declared.
std::string FindDeclaredEncoding(std::string_view text);

// True when the encoding that the document text declares (as EncodeFileText reads it) can hold
// every character of name, so that name can be written into the text as it is: an element or
// attribute name cannot be written as a character reference. Always true for UTF-8, UTF-16,
// UTF-7, unknown encodings (written as UTF-8) and text without declaration.
bool DeclaredEncodingHolds(std::string_view documentText, std::string_view name);

// File bytes to UTF-8 text. Sets the byte-order-mark bits of *flags (XmlDocument flags) to the
// mark that was found and records the events in *result. False when the bytes could not be
// converted whole; *text then holds what was converted.
bool DecodeFileBytes(std::string_view bytes, std::string* text, std::string* result, int* flags);

// UTF-8 text to file bytes in the declared encoding (UTF-8 when none or unknown), such that
// DecodeFileBytes gives the text back. The declaration counts only where the reader sees it:
// within the first 1024 bytes as stored. A character the encoding lacks is written as a
// character reference in text and attribute values (a CDATA section is split around it). UTF-16
// always gets its byte-order mark and UTF-8 one when flags ask for it, both only with bNewFile.
// Returns the encoding the bytes are in; empty, with *bytes empty and the reason recorded as
// "conversion_loss", when the text cannot be stored so that it reads back (a missing character
// in a name, comment, processing instruction or document type, or a declaration pushed out of
// the reader's window); nothing must then be written.
std::string EncodeFileText(std::string_view text, int flags, bool bNewFile, std::string* bytes,
                           std::string* result);

}  // namespace xml
