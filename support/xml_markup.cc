#include "support/xml_markup.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/codepage.h"

namespace xml {
namespace {

bool EndsName(char c) {
    return IsSpace(c) || c == '/' || c == '>' || c == '<' || c == '=' || c == '"' || c == '\'' ||
           c == '?';
}

size_t SkipSpaces(std::string_view text, size_t pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    return pos;
}

// Reads one attribute starting at pos (after white space). Sets the name and value ranges and
// returns the offset after it; returns pos unchanged at the end of the tag.
size_t ScanAttribute(std::string_view tag, size_t pos, std::string_view* name,
                     AttributeSpan* span) {
    const size_t nameEnd = ScanNameEnd(tag, pos);
    if (nameEnd == pos) return pos;
    *name = tag.substr(pos, nameEnd - pos);
    size_t i = SkipSpaces(tag, nameEnd);
    if (i >= tag.size() || tag[i] != '=') {
        *span = AttributeSpan{nameEnd, nameEnd, false};
        return nameEnd;
    }
    i = SkipSpaces(tag, i + 1);
    if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
        const size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) {
            // An unclosed quote runs to the end of the tag, its '>' excluded.
            const size_t end = std::max(i + 1, tag.size() - (tag.ends_with('>') ? 1 : 0));
            *span = AttributeSpan{i + 1, end, false};
            return tag.size();
        }
        *span = AttributeSpan{i + 1, close, true};
        return close + 1;
    }
    size_t end = i;
    while (end < tag.size() && !IsSpace(tag[end]) && tag[end] != '>') ++end;
    if (end > i && tag[end - 1] == '/' && end == tag.size() - 1) --end;
    *span = AttributeSpan{i, end, false};
    return end;
}

void AppendCodePoint(uint32_t cp, std::string* out) {
    platform::AppendUtf8(static_cast<char32_t>(cp), out);
}

// Decodes the entity between '&' and ';' into out; false when it is not one we know.
bool DecodeEntity(std::string_view entity, std::string* out) {
    static const struct {
        std::string_view name;
        char c;
    } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& named : kNamed) {
        if (entity == named.name) {
            out->push_back(named.c);
            return true;
        }
    }
    if (entity.size() < 2 || entity[0] != '#') return false;
    const bool bHex = entity[1] == 'x' || entity[1] == 'X';
    const std::string digits(entity.substr(bHex ? 2 : 1));
    if (digits.empty() || digits.size() > 8) return false;
    char* end = nullptr;
    const unsigned long cp = std::strtoul(digits.c_str(), &end, bHex ? 16 : 10);
    const bool bSurrogate = cp >= 0xD800 && cp <= 0xDFFF;
    if (*end != '\0' || cp == 0 || cp > 0x10FFFF || bSurrogate) return false;
    AppendCodePoint(static_cast<uint32_t>(cp), out);
    return true;
}

// Markup characters become entities; in attribute values also quotes, and line breaks and tabs
// become character references so that they survive attribute-value normalisation.
std::string Escape(std::string_view text, bool bAttribute) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const char* entity = nullptr;
        switch (c) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = bAttribute ? "&quot;" : nullptr;
                break;
            case '\'':
                entity = bAttribute ? "&apos;" : nullptr;
                break;
            case '\n':
                entity = bAttribute ? "&#10;" : nullptr;
                break;
            case '\r':
                entity = bAttribute ? "&#13;" : nullptr;
                break;
            case '\t':
                entity = bAttribute ? "&#9;" : nullptr;
                break;
            default:
                break;
        }
        if (entity) {
            out += entity;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

bool IsNameStart(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
}

size_t ScanNameEnd(std::string_view text, size_t pos) {
    while (pos < text.size() && !EndsName(text[pos])) ++pos;
    return pos;
}

bool IsValidName(std::string_view name) {
    if (name.empty() || !IsNameStart(name[0])) return false;
    for (char c : name) {
        if (EndsName(c) || c == '&' || c == ';' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

std::string_view TagNameAt(std::string_view text, size_t pos) {
    size_t start = pos + 1;
    if (start < text.size() && text[start] == '/') ++start;
    if (start > text.size()) return {};
    return text.substr(start, ScanNameEnd(text, start) - start);
}

size_t ScanTagEnd(std::string_view text, size_t pos) {
    while (pos < text.size()) {
        const size_t hit = text.find_first_of(">\"'", pos);
        if (hit == std::string_view::npos || text[hit] == '>') return hit;
        const size_t close = text.find(text[hit], hit + 1);
        if (close == std::string_view::npos) return close;
        pos = close + 1;
    }
    return std::string_view::npos;
}

size_t ScanDoctypeEnd(std::string_view text, size_t lt) {
    size_t nDepth = 0;
    for (size_t i = lt + 9; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            i = text.find(c, i + 1);
            if (i == std::string_view::npos) break;
        } else if (c == '[') {
            ++nDepth;
        } else if (c == ']' && nDepth > 0) {
            --nDepth;
        } else if (c == '>' && nDepth == 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

bool FindAttribute(std::string_view tag, std::string_view name, bool bIgnoreCase,
                   AttributeSpan* span) {
    size_t pos = ScanNameEnd(tag, tag.empty() ? 0 : 1);
    for (;;) {
        pos = SkipSpaces(tag, pos);
        std::string_view attrName;
        AttributeSpan found;
        const size_t next = ScanAttribute(tag, pos, &attrName, &found);
        if (next == pos) {
            // Not an attribute name: the end of the tag, or a stray character to step over.
            if (pos >= tag.size() || tag[pos] == '>') return false;
            ++pos;
            continue;
        }
        if (bIgnoreCase ? EqualsIgnoreCase(attrName, name) : attrName == name) {
            *span = found;
            return true;
        }
        pos = next;
    }
}

std::string DecodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t amp; (amp = text.find('&', pos)) != std::string_view::npos;) {
        out.append(text.substr(pos, amp - pos));
        const size_t semi = text.find(';', amp + 1);
        const bool bShort = semi != std::string_view::npos && semi - amp <= 12;
        if (bShort && DecodeEntity(text.substr(amp + 1, semi - amp - 1), &out)) {
            pos = semi + 1;
        } else {
            out.push_back('&');
            pos = amp + 1;
        }
    }
    out.append(text.substr(pos));
    return out;
}

std::string EscapeAttribute(std::string_view value) {
    return Escape(value, true);
}

std::string EscapeText(std::string_view text) {
    return Escape(text, false);
}

std::string EncodeCData(std::string_view text) {
    std::string out = "<![CDATA[";
    size_t pos = 0;
    for (size_t hit; (hit = text.find("]]>", pos)) != std::string_view::npos; pos = hit + 3) {
        out.append(text.substr(pos, hit - pos));
        out += "]]]]><![CDATA[>";
    }
    out.append(text.substr(pos));
    out += "]]>";
    return out;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

ResultWriter::ResultWriter(std::string* result)
    : m_pResult(result), m_nChars(platform::CountCodePoints(*result)) {}

void ResultWriter::Add(std::string_view event, std::initializer_list<ResultAttr> attrs) {
    if (m_nChars >= kMaxResultChars) return;
    std::string entry = "<";
    entry.append(event);
    for (const ResultAttr& attr : attrs) {
        entry += ' ';
        entry.append(attr.name);
        entry += "=\"" + EscapeAttribute(attr.value) + '"';
    }
    entry += "/>";
    const size_t nChars = platform::CountCodePoints(entry);
    if (m_nChars + nChars > kMaxResultChars) return;
    *m_pResult += entry;
    m_nChars += nChars;
}

void AddResult(std::string* result, std::string_view event,
               std::initializer_list<ResultAttr> attrs) {
    ResultWriter(result).Add(event, attrs);
}

}  // namespace xml
