// Writing text in encodings that cannot hold every character, and in UTF-7.
#include "support/xml_encoder.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "support/xml_markup.h"

namespace xml {
namespace {

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
    if (rest.starts_with("<!DOCTYPE")) {
        const size_t end = ScanDoctypeEnd(m_text, lt);
        return MarkupTo(end == std::string_view::npos ? m_text.size() : end);
    }
    if (!rest.starts_with("<![CDATA[")) return MarkupPast(lt, ">");
    Add(lt + 9, Region::kMarkup);
    const size_t close = m_text.find("]]>", lt + 9);
    if (close == std::string_view::npos) return MarkupTo(m_text.size());
    Add(close, Region::kCData);
    return MarkupPast(close, "]]>");
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

// The ASCII characters that the UTF-7 reader takes as they are: the directly encoded and the
// optionally direct characters of RFC 2152 and the white space. '+', '\', '~' and controls
// are not among them.
bool IsUtf7Direct(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}").find(c) !=
           std::string_view::npos;
}

}  // namespace

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

}  // namespace xml
