#include "support/xml_text_file.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "support/encoding_names.h"
#include "support/xml_document.h"
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

// Where in the text a character stands, as the parser reads it: a character that the file's
// encoding lacks can be written as a character reference only in character data and attribute
// values; inside a CDATA section the section is split around the reference; anywhere else
// (names, comments, processing instructions, the document type) nothing can stand for it.
enum class Region { kData, kValue, kCData, kMarkup };

struct Segment {
    size_t nEnd;
    Region region;
};

// The text cut into regions, each segment ending where the next begins.
class CRegionSplitter {
  public:
    explicit CRegionSplitter(std::string_view text) : m_text(text) {}
    std::vector<Segment> Split();

  private:
    size_t OnStartTag(size_t lt);
    size_t OnExclamation(size_t lt);
    size_t DoctypeEnd(size_t lt) const;
    // Markup up to end, where the walk goes on.
    size_t MarkupTo(size_t end);
    // Markup up to just past the terminator found from `from`; without one, the rest of the
    // text, as the parser then stops reading markup.
    size_t MarkupPast(size_t from, std::string_view terminator);
    void Add(size_t nEnd, Region region);

    std::string_view m_text;
    std::vector<Segment> m_aSegments;
};

std::vector<Segment> CRegionSplitter::Split() {
    for (size_t pos = 0; pos < m_text.size();) {
        const size_t lt = m_text.find('<', pos);
        if (lt == std::string_view::npos) break;
        Add(lt, Region::kData);
        const char next = lt + 1 < m_text.size() ? m_text[lt + 1] : '\0';
        if (next == '/') {
            pos = MarkupPast(lt + 2, ">");
        } else if (next == '?') {
            pos = MarkupPast(lt + 2, "?>");
        } else if (next == '!') {
            pos = OnExclamation(lt);
        } else if (IsNameStart(next)) {
            pos = OnStartTag(lt);
        } else {
            pos = lt + 1;  // a stray '<' is read as text
        }
    }
    Add(m_text.size(), Region::kData);
    return std::move(m_aSegments);
}

// The start tag is markup except for the value of each attribute as the document reads it
// back: the span that FindAttribute gives for the attribute's name.
size_t CRegionSplitter::OnStartTag(size_t lt) {
    const size_t gt = ScanTagEnd(m_text, ScanNameEnd(m_text, lt + 1));
    if (gt == std::string_view::npos) return MarkupTo(m_text.size());
    const std::string_view tag = m_text.substr(lt, gt + 1 - lt);
    for (size_t pos = ScanNameEnd(tag, 1); pos < tag.size();) {
        const size_t nameEnd = ScanNameEnd(tag, pos);
        AttributeSpan span;
        if (nameEnd == pos) {
            ++pos;
        } else if (FindAttribute(tag, tag.substr(pos, nameEnd - pos), false, &span) &&
                   span.nValueStart >= nameEnd) {
            Add(lt + span.nValueStart, Region::kMarkup);
            Add(lt + span.nValueEnd, Region::kValue);
            pos = std::max(nameEnd, span.nValueEnd);
        } else {
            pos = nameEnd;  // a bare name, or one that an earlier attribute of that name hides
        }
    }
    Add(gt + 1, Region::kMarkup);
    return gt + 1;
}

size_t CRegionSplitter::OnExclamation(size_t lt) {
    const std::string_view rest = m_text.substr(lt);
    if (rest.starts_with("<!--")) return MarkupPast(lt + 4, "-->");
    if (rest.starts_with("<!DOCTYPE")) return MarkupTo(DoctypeEnd(lt));
    if (!rest.starts_with("<![CDATA[")) return MarkupPast(lt, ">");
    Add(lt + 9, Region::kMarkup);
    const size_t close = m_text.find("]]>", lt + 9);
    if (close == std::string_view::npos) return MarkupTo(m_text.size());
    Add(close, Region::kCData);
    return MarkupPast(close, "]]>");
}

// Offset just past the '>' that ends the document type declaration at lt (the end of the text
// when none does); its internal subset in brackets and quoted literals may hold '>' of their own.
size_t CRegionSplitter::DoctypeEnd(size_t lt) const {
    size_t nDepth = 0;
    for (size_t i = lt + 9; i < m_text.size(); ++i) {
        const char c = m_text[i];
        if (c == '"' || c == '\'') {
            i = m_text.find(c, i + 1);
            if (i == std::string_view::npos) break;
        } else if (c == '[') {
            ++nDepth;
        } else if (c == ']' && nDepth > 0) {
            --nDepth;
        } else if (c == '>' && nDepth == 0) {
            return i + 1;
        }
    }
    return m_text.size();
}

size_t CRegionSplitter::MarkupTo(size_t end) {
    Add(end, Region::kMarkup);
    return end;
}

size_t CRegionSplitter::MarkupPast(size_t from, std::string_view terminator) {
    const size_t hit = m_text.find(terminator, from);
    return MarkupTo(hit == std::string_view::npos ? m_text.size() : hit + terminator.size());
}

void CRegionSplitter::Add(size_t nEnd, Region region) {
    const size_t nLast = m_aSegments.empty() ? 0 : m_aSegments.back().nEnd;
    if (nEnd <= nLast) return;
    if (!m_aSegments.empty() && m_aSegments.back().region == region) {
        m_aSegments.back().nEnd = nEnd;
    } else {
        m_aSegments.push_back({nEnd, region});
    }
}

// "&#x4E2D;" for the one code point in text.
std::string CharacterReference(std::string_view text) {
    const std::u16string units = platform::Utf8ToUtf16(text);
    uint32_t cp = units.empty() ? 0xFFFD : units[0];
    if (units.size() == 2) cp = 0x10000 + ((cp - 0xD800) << 10) + (units[1] - 0xDC00);
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "&#x%X;", static_cast<unsigned>(cp));
    return buffer;
}

// Converts text to a legacy encoding, writing each character that the encoding lacks as a
// character reference where one is allowed.
class CLegacyEncoder {
  public:
    explicit CLegacyEncoder(std::string encoding) : m_strEncoding(std::move(encoding)) {}

    // False when a character the encoding lacks stands where no reference can; the offset of
    // that character in the text is then in LostAt().
    bool Convert(std::string_view text, size_t offset, Region region);
    std::string& Bytes() { return m_strBytes; }
    size_t References() const { return m_nRefs; }
    size_t LostAt() const { return m_nLostAt; }

  private:
    std::string m_strEncoding;
    std::string m_strBytes;
    size_t m_nRefs = 0;
    size_t m_nLostAt = 0;
};

// Halving keeps the number of conversions small when only a few characters fail.
bool CLegacyEncoder::Convert(std::string_view text, size_t offset, Region region) {
    std::string part;
    if (platform::ConvertEncoding(text, "UTF-8", m_strEncoding, &part)) {
        m_strBytes += part;
        return true;
    }
    const size_t nCodePoints = platform::CountCodePoints(text);
    if (nCodePoints > 1) {
        const size_t nHalf = platform::TruncateCodePoints(text, nCodePoints / 2).size();
        return Convert(text.substr(0, nHalf), offset, region) &&
               Convert(text.substr(nHalf), offset + nHalf, region);
    }
    if (region != Region::kMarkup) {
        std::string reference = CharacterReference(text);
        if (region == Region::kCData) reference = "]]>" + reference + "<![CDATA[";
        if (platform::ConvertEncoding(reference, "UTF-8", m_strEncoding, &part)) {
            m_strBytes += part;
            ++m_nRefs;
            return true;
        }
    }
    m_nLostAt = offset;
    return false;
}

bool EncodeLegacy(std::string_view text, const std::string& encoding, std::string* bytes,
                  std::string* result) {
    if (!platform::ConvertEncoding(text, "UTF-8", encoding, bytes)) {
        CLegacyEncoder encoder(encoding);
        size_t start = 0;
        for (const Segment& segment : CRegionSplitter(text).Split()) {
            if (!encoder.Convert(text.substr(start, segment.nEnd - start), start, segment.region)) {
                AddResult(result, "conversion_loss",
                          {{"encoding", encoding},
                           {"msg", "character outside text and attribute values not in encoding"},
                           {"offset", std::to_string(encoder.LostAt())}});
                return false;
            }
            start = segment.nEnd;
        }
        bytes->swap(encoder.Bytes());
        AddResult(result, "conversion_loss",
                  {{"encoding", encoding},
                   {"msg", "written as character references"},
                   {"count", std::to_string(encoder.References())}});
    }
    AddResult(result, "converted_from", {{"encoding", "UTF-8"}, {"msg", "to " + encoding}});
    return true;
}

// The ASCII characters that the UTF-7 reader takes as they are: the directly encoded and the
// optionally direct characters of RFC 2152 and the white space. '+', '\', '~' and controls
// are not among them.
bool IsUtf7Direct(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}").find(c) !=
           std::string_view::npos;
}

// UTF-7 that keeps every direct character plain, so that the markup and the declaration stay
// readable as ASCII; only runs of other characters are written in base64. An encoder that
// writes the optional characters in base64 too (as iconv does) hides the declaration.
std::string EncodeUtf7(std::string_view text) {
    std::string bytes;
    for (size_t pos = 0; pos < text.size();) {
        if (IsUtf7Direct(text[pos]) || text[pos] == '+') {
            bytes += text[pos] == '+' ? "+-" : std::string(1, text[pos]);
            ++pos;
            continue;
        }
        size_t end = pos + 1;
        while (end < text.size() && !IsUtf7Direct(text[end]) && text[end] != '+') ++end;
        std::string run;
        platform::ConvertEncoding(text.substr(pos, end - pos), "UTF-8", "UTF-7", &run);
        bytes += run;
        if (!run.ends_with('-')) bytes += '-';  // a direct letter or '-' may follow
        pos = end;
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
        if (flags & XmlDocument::kUtf8Bom) bom = kUtf8Bom;
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
