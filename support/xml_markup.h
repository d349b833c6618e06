// Lexical pieces of XML shared by the document class, its parser and its file layer: names,
// tag and attribute scanning, entity decoding, escaping, CDATA sections and the result text.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace xml {

// The result text stops growing at this many characters.
constexpr size_t kMaxResultChars = 1000;

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// First character of a tag or attribute name (any non-ASCII byte counts as a letter).
bool IsNameStart(char c);
// Offset just past the name that starts at pos.
size_t ScanNameEnd(std::string_view text, size_t pos);
// True when the whole text is one name that can be written into a tag.
bool IsValidName(std::string_view name);
// The tag name of the tag that starts with '<' at pos (after "</" for an end tag).
std::string_view TagNameAt(std::string_view text, size_t pos);

// Offset of the '>' that ends the tag whose name ends at pos; quoted values may hold '>'.
// npos when the tag is not terminated.
size_t ScanTagEnd(std::string_view text, size_t pos);

// Offset just past the '>' that ends the document type declaration starting with '<' at lt;
// npos when none does. The internal subset in brackets and quoted literals may hold '>' of
// their own.
size_t ScanDoctypeEnd(std::string_view text, size_t lt);

// One attribute inside a tag, as offsets into the tag text. For a quoted value the value range
// excludes the quotes, and bQuoted tells that one quote stands on each side of it.
struct AttributeSpan {
    size_t nValueStart = 0;
    size_t nValueEnd = 0;
    bool bQuoted = false;
};

// Finds the attribute of that name in the tag text (from '<' to '>').
bool FindAttribute(std::string_view tag, std::string_view name, bool bIgnoreCase,
                   AttributeSpan* span);

// Replaces the predefined entities and character references; unknown entities stay as written.
std::string DecodeEntities(std::string_view text);
// An attribute value for double quotes: & < > " ' and line breaks/tabs become references.
std::string EscapeAttribute(std::string_view value);
// Element content: & < > become entities.
std::string EscapeText(std::string_view text);
// Content as CDATA sections; each "]]>" inside is split across two sections.
std::string EncodeCData(std::string_view text);

// Letter case of ASCII letters only; other bytes (UTF-8 included) stay as they are.
char LowerAscii(char c);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);

// One attribute of a result element.
struct ResultAttr {
    std::string_view name;
    std::string value;
};

// Appends events to a result text as <event attr="value" .../>, each only when it still fits
// the limit. Keeps the character count, so that many events cost no recounting.
class ResultWriter {
  public:
    explicit ResultWriter(std::string* result);
    void Add(std::string_view event, std::initializer_list<ResultAttr> attrs = {});

  private:
    std::string* m_pResult;
    size_t m_nChars;
};

// One event, for callers that record only a few.
void AddResult(std::string* result, std::string_view event,
               std::initializer_list<ResultAttr> attrs = {});

}  // namespace xml
