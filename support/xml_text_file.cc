#include "support/xml_text_file.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "support/encoding_names.h"
#include "support/xml_document.h"
#include "support/xml_encoder.h"
#include "support/xml_markup.h"

namespace xml {
namespace {

constexpr size_t kDeclarationWindow = 1024;
constexpr int kBomFlags = XmlDocument::kUtf8Bom | XmlDocument::kUtf16Le | XmlDocument::kUtf16Be;
constexpr int kModeFlags =
    XmlDocument::kReadFile | XmlDocument::kWriteFile | XmlDocument::kAppendFile;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

bool IsUtf8Name(std::string_view encoding) {
    return encoding == "UTF-8";
}
bool IsUtf16Name(std::string_view encoding) {
    return encoding.starts_with("UTF-16");
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string AttributeValue(std::string_view tag, std::string_view name) {
    AttributeSpan span;
    if (!FindAttribute(tag, name, true, &span)) return "";
    return std::string(Trim(tag.substr(span.nValueStart, span.nValueEnd - span.nValueStart)));
}

// "text/html; charset=GB2312" -> "GB2312".
std::string CharsetOfContent(std::string_view content) {
    const std::string upper = ToUpperAscii(content);
    const size_t pos = upper.find("CHARSET=");
    if (pos == std::string::npos) return "";
    std::string_view value = content.substr(pos + 8);
    value = value.substr(0, value.find(';'));
    value = Trim(value);
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.remove_prefix(1);
    if (!value.empty() && (value.back() == '"' || value.back() == '\'')) value.remove_suffix(1);
    return std::string(value);
}

std::string CharsetOfMeta(std::string_view tag) {
    std::string charset = AttributeValue(tag, "charset");
    if (!charset.empty()) return charset;
    if (!EqualsIgnoreCase(AttributeValue(tag, "http-equiv"), "Content-Type")) return "";
    return CharsetOfContent(AttributeValue(tag, "content"));
}

// Walks the tags of an HTML head looking for the meta element that names the charset.
std::string FindHtmlCharset(std::string_view text) {
    bool bInHtml = false;
    bool bInHead = false;
    for (size_t pos = 0;;) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= text.size()) return "";
        if (text.substr(lt).starts_with("<!--")) {
            const size_t end = text.find("-->", lt + 4);
            if (end == std::string_view::npos) return "";
            pos = end + 3;
            continue;
        }
        const size_t gt = ScanTagEnd(text, lt + 1);
        if (gt == std::string_view::npos) return "";
        pos = gt + 1;
        const std::string name = ToUpperAscii(TagNameAt(text, lt));
        if (text[lt + 1] == '/') {
            if (name == "HEAD") return "";
        } else if (name == "HTML") {
            bInHtml = true;
        } else if (name == "HEAD") {
            bInHead = bInHtml;
        } else if (name == "BODY") {
            return "";
        } else if (name == "META" && bInHead) {
            std::string charset = CharsetOfMeta(text.substr(lt, gt + 1 - lt));
            if (!charset.empty()) return charset;
        }
    }
}

// The encoding named within the first nWindow bytes of text (see FindDeclaredEncoding).
std::string FindDeclaration(std::string_view text, size_t nWindow) {
    text = text.substr(0, nWindow);
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (text.substr(pos).starts_with("<?xml") && pos + 5 < text.size() && IsSpace(text[pos + 5])) {
        const size_t end = text.find("?>", pos);
        if (end == std::string_view::npos) return "";
        std::string encoding = AttributeValue(text.substr(pos, end + 2 - pos), "encoding");
        if (!encoding.empty()) return encoding;
        pos = end + 2;  // an XHTML page may still name its charset in the head
    }
    return FindHtmlCharset(text.substr(pos));
}

// The characters that a text file of XML or HTML starts with.
bool IsMarkupStart(char c) {
    return c == '<' || IsSpace(c);
}

// The byte-order mark (or, without one, the byte pattern of a first '<' or white space in
// UTF-16) decides the encoding; otherwise the declaration, otherwise the UTF-8 test. A declared
// UTF-16 that is readable as 8-bit text is a wrong label.
std::string DetectEncoding(std::string_view bytes, size_t* nBomLen, int* flags,
                           std::string* result) {
    const struct {
        std::string_view bom;
        int nFlag;
        const char* encoding;
    } kMarks[] = {{kUtf8Bom, XmlDocument::kUtf8Bom, "UTF-8"},
                  {kUtf16LeBom, XmlDocument::kUtf16Le, "UTF-16LE"},
                  {kUtf16BeBom, XmlDocument::kUtf16Be, "UTF-16BE"}};
    *nBomLen = 0;
    for (const auto& mark : kMarks) {
        if (bytes.starts_with(mark.bom)) {
            *nBomLen = mark.bom.size();
            *flags |= mark.nFlag;
            return mark.encoding;
        }
    }
    if (bytes.size() >= 2 && IsMarkupStart(bytes[0]) && bytes[1] == '\0') return "UTF-16LE";
    if (bytes.size() >= 2 && bytes[0] == '\0' && IsMarkupStart(bytes[1])) return "UTF-16BE";
    const std::string declared = CanonicalEncoding(FindDeclaredEncoding(bytes));
    if (!declared.empty() && !IsUtf16Name(declared)) return declared;
    const char* detected = platform::IsValidUtf8(bytes) ? "UTF-8" : "ANSI";
    AddResult(result, "utf8_detection", {{"encoding", detected}});
    return detected;
}

void DecodeUtf16(std::string_view body, bool bBigEndian, std::string* text, std::string* result) {
    if (body.size() % 2 != 0) {
        AddResult(
            result, "truncation_error",
            {{"msg", "odd byte at end of UTF-16 text"}, {"length", std::to_string(body.size())}});
    }
    std::u16string units(body.size() / 2, u'\0');
    const int nHigh = bBigEndian ? 0 : 1;
    for (size_t i = 0; i < units.size(); ++i) {
        const auto hi = static_cast<unsigned char>(body[2 * i + nHigh]);
        const auto lo = static_cast<unsigned char>(body[2 * i + 1 - nHigh]);
        units[i] = static_cast<char16_t>(hi << 8 | lo);
    }
    if (bBigEndian) AddResult(result, "endian_swap", {{"count", std::to_string(units.size())}});
    *text = platform::Utf16ToUtf8(units);
}

void DecodeAnsi(std::string_view body, std::string* text, std::string* result) {
    *text = platform::AnsiToUtf8(body);
    AddResult(result, "converted_to",
              {{"encoding", "UTF-8"}, {"msg", "from " + platform::GetLegacyCodePage()}});
}

// Converts the body from its encoding; false when the conversion stopped part way.
bool DecodeBody(std::string_view body, const std::string& encoding, std::string* text,
                std::string* result) {
    const std::string upper = ToUpperAscii(encoding);
    if (IsUtf8Name(encoding)) {
        if (platform::IsValidUtf8(body)) {
            text->assign(body);
            return true;
        }
        // Mislabelled legacy text is common; read it as such rather than lose its characters.
        AddResult(result, "utf8_detection", {{"encoding", "ANSI"}, {"msg", "invalid UTF-8"}});
        DecodeAnsi(body, text, result);
        return true;
    }
    if (IsUtf16Name(encoding)) {
        DecodeUtf16(body, encoding == "UTF-16BE", text, result);
        AddResult(result, "converted_to", {{"encoding", "UTF-8"}});
        return true;
    }
    std::string probe;
    if (upper == "ANSI" || !platform::ConvertEncoding("", encoding, "UTF-8", &probe)) {
        if (upper != "ANSI") {
            AddResult(result, "converted_to",
                      {{"encoding", encoding}, {"msg", "unknown encoding"}});
        }
        DecodeAnsi(body, text, result);
        return true;
    }
    if (!platform::ConvertEncoding(body, encoding, "UTF-8", text)) {
        AddResult(result, "truncation_error",
                  {{"encoding", encoding}, {"length", std::to_string(text->size())}});
        return false;
    }
    AddResult(result, "converted_to", {{"encoding", "UTF-8"}, {"msg", "from " + encoding}});
    return true;
}

void RemoveNulls(std::string* text, std::string* result) {
    const size_t nNulls = static_cast<size_t>(std::count(text->begin(), text->end(), '\0'));
    if (nNulls == 0) return;
    text->erase(std::remove(text->begin(), text->end(), '\0'), text->end());
    AddResult(result, "nulls_removed", {{"count", std::to_string(nNulls)}});
}

std::string EncodeUtf16(std::string_view text, bool bBigEndian) {
    const std::u16string units = platform::Utf8ToUtf16(text);
    std::string bytes(units.size() * 2, '\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const char hi = static_cast<char>(units[i] >> 8);
        const char lo = static_cast<char>(units[i] & 0xFF);
        bytes[2 * i] = bBigEndian ? hi : lo;
        bytes[2 * i + 1] = bBigEndian ? lo : hi;
    }
    return bytes;
}

// The form of UTF-16 to write: the declared byte order, else the order of the file it came from.
bool IsBigEndianOutput(const std::string& encoding, int flags) {
    if (encoding != "UTF-16") return encoding == "UTF-16BE";
    return (flags & XmlDocument::kUtf16Be) && !(flags & XmlDocument::kUtf16Le);
}

// The canonical name of a declared encoding that can be written; empty when nothing is declared
// or iconv does not know the encoding (such text is written as UTF-8).
std::string KnownEncoding(std::string_view declared) {
    const std::string encoding = CanonicalEncoding(declared);
    if (encoding.empty() || encoding == "UTF-7" || IsUtf16Name(encoding)) return encoding;
    std::string probe;
    return platform::ConvertEncoding("", "UTF-8", encoding, &probe) ? encoding : "";
}

// The declaration that saving follows. The window is wider than the reader's because the stored
// bytes may be shorter than the text: no encoding stores a character in less than a third of
// its UTF-8 bytes ("€" takes three bytes in UTF-8 and one in code page 1252). Whether the stored
// bytes show the declaration within the reader's window is checked after encoding.
std::string DeclarationToWrite(std::string_view text) {
    return FindDeclaration(text, 3 * kDeclarationWindow);
}

// The reader takes the encoding of a file from what its first 1024 bytes declare, so the bytes
// written must show their declaration there. References for missing characters and base64 runs
// can push it out. Text whose UTF-8 form shows no declaration in that window either is then
// written as UTF-8, which is what the reader takes undeclared bytes for. Otherwise no form reads
// back the same and keeps the declaration true (a UTF-8 mark in front of it makes a file that
// XML readers reject for the contradiction), so the save fails. Returns the encoding written,
// empty on failure.
std::string CheckStoredDeclaration(std::string_view text, const std::string& encoding,
                                   std::string* bytes, std::string* result) {
    if (CanonicalEncoding(FindDeclaredEncoding(*bytes)) == encoding) return encoding;
    if (FindDeclaredEncoding(text).empty()) {
        AddResult(result, "converted_from",
                  {{"encoding", "UTF-8"}, {"msg", "declaration beyond the first 1024 bytes"}});
        bytes->assign(text);
        return "UTF-8";
    }
    AddResult(result, "conversion_loss",
              {{"encoding", encoding},
               {"msg", "declaration not within the first 1024 bytes of the encoded text"}});
    bytes->clear();
    return "";
}

}  // namespace

std::string FindDeclaredEncoding(std::string_view text) {
    return FindDeclaration(text, kDeclarationWindow);
}

bool DeclaredEncodingHolds(std::string_view documentText, std::string_view name) {
    const std::string encoding = KnownEncoding(DeclarationToWrite(documentText));
    if (encoding.empty() || IsUtf8Name(encoding) || IsUtf16Name(encoding) || encoding == "UTF-7")
        return true;
    std::string bytes;
    return platform::ConvertEncoding(name, "UTF-8", encoding, &bytes);
}

bool DecodeFileBytes(std::string_view bytes, std::string* text, std::string* result, int* flags) {
    *flags &= ~kBomFlags;
    size_t nBomLen = 0;
    const std::string encoding = DetectEncoding(bytes, &nBomLen, flags, result);
    const bool bOk = DecodeBody(bytes.substr(nBomLen), encoding, text, result);
    RemoveNulls(text, result);
    AddResult(result, "read", {{"encoding", encoding}, {"length", std::to_string(bytes.size())}});
    return bOk;
}

std::string EncodeFileText(std::string_view text, int flags, bool bNewFile, std::string* bytes,
                           std::string* result) {
    const std::string declared = DeclarationToWrite(text);
    std::string encoding = KnownEncoding(declared);
    if (encoding.empty() && !declared.empty()) {
        AddResult(result, "converted_from",
                  {{"encoding", declared}, {"msg", "unknown encoding, written as UTF-8"}});
    }
    std::string_view bom;
    if (encoding.empty() || IsUtf8Name(encoding)) {
        // What the reader finds in UTF-8 bytes is this declaration or none, and either reads
        // them as UTF-8.
        bytes->assign(text);
        // A reader takes a leading U+FEFF for the mark, so text that starts with one keeps it
        // only behind a mark of its own.
        if ((flags & XmlDocument::kUtf8Bom) || text.starts_with(kUtf8Bom)) bom = kUtf8Bom;
        encoding = "UTF-8";
    } else if (IsUtf16Name(encoding)) {
        // Always with its mark: UTF-16 without one is recognised only by its first character.
        const bool bBigEndian = IsBigEndianOutput(encoding, flags);
        encoding = bBigEndian ? "UTF-16BE" : "UTF-16LE";
        *bytes = EncodeUtf16(text, bBigEndian);
        AddResult(result, "converted_from", {{"encoding", "UTF-8"}, {"msg", "to " + encoding}});
        if (bBigEndian)
            AddResult(result, "endian_swap", {{"count", std::to_string(bytes->size() / 2)}});
        bom = bBigEndian ? kUtf16BeBom : kUtf16LeBom;
    } else {
        const std::string clean = platform::SanitizeUtf8(text);
        if (encoding == "UTF-7") {
            *bytes = EncodeUtf7(clean);
            AddResult(result, "converted_from", {{"encoding", "UTF-8"}, {"msg", "to UTF-7"}});
        } else if (!EncodeLegacy(clean, encoding, bytes, result)) {
            bytes->clear();
            return "";
        }
        encoding = CheckStoredDeclaration(text, encoding, bytes, result);
        if (encoding.empty()) return "";
    }
    if (bNewFile && !bom.empty()) bytes->insert(0, bom);
    return encoding;
}

}  // namespace xml

bool XmlDocument::ReadTextFile(const std::string& path, std::string* text, std::string* result,
                               int* flags) {
    result->clear();
    text->clear();
    std::string bytes;
    bool bOk = platform::ReadFileBytes(path, &bytes);
    if (bOk) {
        bOk = xml::DecodeFileBytes(bytes, text, result, flags);
    } else {
        xml::AddResult(result, "file_error", {{"msg", "cannot read " + path}});
    }
    *flags &= ~xml::kModeFlags;
    return bOk;
}

bool XmlDocument::WriteTextFile(const std::string& path, const std::string& text,
                                std::string* result, int* flags) {
    result->clear();
    const bool bAppend = (*flags & kAppendFile) != 0;
    uint64_t nSize = 0;
    const bool bNewFile = !bAppend || !platform::GetFileSize(path, &nSize) || nSize == 0;
    std::string bytes;
    const std::string encoding = xml::EncodeFileText(text, *flags, bNewFile, &bytes, result);
    bool bOk = !encoding.empty();  // otherwise the text cannot be stored; the file stays as it is
    if (bOk) {
        bOk = bAppend ? platform::AppendFileBytes(path, bytes)
                      : platform::WriteFileAtomic(path, bytes);
        if (!bOk) xml::AddResult(result, "file_error", {{"msg", "cannot write " + path}});
    }
    if (bOk) {
        xml::AddResult(result, "write",
                       {{"encoding", encoding}, {"length", std::to_string(bytes.size())}});
    }
    *flags &= ~xml::kModeFlags;
    return bOk;
}
