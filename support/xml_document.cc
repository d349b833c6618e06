#include "support/xml_document.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "support/xml_markup.h"
#include "support/xml_parser.h"
#include "support/xml_text_file.h"

namespace {

// Offsets in the index are 32-bit.
constexpr size_t kMaxTextLen = std::numeric_limits<uint32_t>::max() - 1;

// <name/>, <name>escaped text</name>, or a CDATA section when the text holds markup characters,
// so that such text stays readable in the file.
std::string BuildElement(const std::string& name, const std::string& value) {
    if (value.empty()) return "<" + name + "/>";
    const bool bMarkup = value.find_first_of("<&") != std::string::npos;
    const std::string content = bMarkup ? xml::EncodeCData(value) : xml::EscapeText(value);
    return "<" + name + ">" + content + "</" + name + ">";
}

// The decoded value of the attribute in the tag text; false when the tag has no such attribute.
bool ReadAttribute(std::string_view tag, std::string_view name, std::string* value) {
    xml::AttributeSpan span;
    if (!xml::FindAttribute(tag, name, false, &span)) return false;
    *value = xml::DecodeEntities(tag.substr(span.nValueStart, span.nValueEnd - span.nValueStart));
    return true;
}

// True when a parse sees newTag as the same tag as oldTag (same name, same end, same "/>" or ">"
// form) and reads value back from it for name. In a tag with broken attribute syntax (a missing
// value, a stray quote) a value written in the usual place can be taken as part of another
// attribute; such an edit must not be made.
bool TagKeepsValue(std::string_view oldTag, std::string_view newTag, std::string_view name,
                   std::string_view value) {
    const size_t gt = xml::ScanTagEnd(newTag, xml::ScanNameEnd(newTag, 1));
    if (gt != newTag.size() - 1 || xml::TagNameAt(newTag, 0) != xml::TagNameAt(oldTag, 0) ||
        (newTag[gt - 1] == '/') != (oldTag[oldTag.size() - 2] == '/')) {
        return false;
    }
    std::string readBack;
    return ReadAttribute(newTag, name, &readBack) && readBack == value;
}

}  // namespace

XmlDocument::XmlDocument() {
    m_index.Reset(0);
}

bool XmlDocument::SetText(const std::string& text) {
    if (IsFileMode()) return false;
    m_strResult.clear();
    return AssignText(text);
}

bool XmlDocument::ParseText() {
    if (IsFileMode()) return false;
    m_strResult.clear();
    return ParseIndex();
}

bool XmlDocument::LoadFile(const std::string& path) {
    if (IsFileMode()) return false;
    int flags = m_nFlags | kReadFile;
    std::string text;
    const bool bRead = ReadTextFile(path, &text, &m_strResult, &flags);
    m_nFlags = flags;
    const bool bWellFormed = AssignText(std::move(text));
    return bRead && bWellFormed;
}

bool XmlDocument::SaveFile(const std::string& path) {
    if (IsFileMode()) return false;
    int flags = m_nFlags | kWriteFile;
    const bool bOk = WriteTextFile(path, m_strText, &m_strResult, &flags);
    m_nFlags = flags;
    return bOk;
}

void XmlDocument::Rewind() {
    m_nParent = m_nPos = m_nChild = 0;
}

bool XmlDocument::FindSibling(const std::string& name) {
    if (IsFileMode()) return false;
    const uint32_t found = FindNext(m_nParent, m_nPos, name);
    if (!found) return false;
    m_nPos = found;
    m_nChild = 0;
    return true;
}

bool XmlDocument::FindChild(const std::string& name) {
    if (IsFileMode()) return false;
    if (!m_nPos && !FindSibling()) return false;
    const uint32_t found = FindNext(m_nPos, m_nChild, name);
    if (!found) return false;
    m_nChild = found;
    return true;
}

bool XmlDocument::EnterElement() {
    if (IsFileMode() || !m_nPos) return false;
    m_nParent = m_nPos;
    m_nPos = m_nChild;
    m_nChild = 0;
    return true;
}

bool XmlDocument::RemoveElement() {
    if (IsFileMode() || !m_nPos) return false;
    const uint32_t pos = m_nPos;
    const xml::ElementRecord rec = m_index[pos];
    // The white space after it goes too, but never past the end of its parent.
    const size_t limit = rec.nParent ? EndOf(rec.nParent) : m_strText.size();
    size_t end = EndOf(pos);
    while (end < limit && xml::IsSpace(m_strText[end])) ++end;
    m_nPos = rec.nPrev;
    m_nChild = 0;
    if (!CanEditInPlace(rec.nParent)) {
        return ReparseEdit(Edit{rec.nStart, end - rec.nStart, ""}, 0, kNoStart, nullptr);
    }
    m_index.Remove(pos);
    return ReplaceText(rec.nParent, Edit{rec.nStart, end - rec.nStart, ""});
}

std::string XmlDocument::GetAttribute(const std::string& name) const {
    if (IsFileMode() || !m_nPos) return "";
    return AttributeOf(m_nPos, name);
}

std::string XmlDocument::GetChildAttribute(const std::string& name) const {
    if (IsFileMode() || !m_nChild) return "";
    return AttributeOf(m_nChild, name);
}

bool XmlDocument::SetAttribute(const std::string& name, const std::string& value) {
    if (IsFileMode() || !m_nPos) return false;
    return SetAttributeOf(m_nPos, name, value);
}

bool XmlDocument::SetChildAttribute(const std::string& name, const std::string& value) {
    if (IsFileMode() || !m_nChild) return false;
    return SetAttributeOf(m_nChild, name, value);
}

bool XmlDocument::InsertElement(const std::string& name, const std::string& value) {
    if (IsFileMode()) return false;
    const uint32_t pos = InsertUnder(m_nParent, m_nPos, name, value);
    if (!pos) return false;
    m_nPos = pos;
    m_nChild = 0;
    return true;
}

bool XmlDocument::InsertChildElement(const std::string& name, const std::string& value) {
    if (IsFileMode() || !m_nPos) return false;
    const uint32_t pos = InsertUnder(m_nPos, m_nChild, name, value);
    if (!pos) return false;
    m_nChild = pos;
    return true;
}

bool XmlDocument::AssignText(std::string text) {
    if (text.size() > kMaxTextLen) {
        xml::AddResult(&m_strResult, "truncation_error",
                       {{"msg", "document too large"}, {"length", std::to_string(text.size())}});
        text.clear();
    }
    m_strText = std::move(text);
    return ParseIndex();
}

bool XmlDocument::ParseIndex() {
    Rewind();
    return xml::ParseDocument(m_strText, &m_index, &m_strResult);
}

std::string_view XmlDocument::NameOf(uint32_t pos) const {
    return xml::TagNameAt(m_strText, m_index[pos].nStart);
}

// The spaces and tabs that open the line of offset, when nothing else stands before it.
std::string XmlDocument::IndentOf(size_t offset) const {
    size_t start = offset;
    while (start > 0 && (m_strText[start - 1] == ' ' || m_strText[start - 1] == '\t')) --start;
    if (start > 0 && m_strText[start - 1] != '\n') return "";
    return m_strText.substr(start, offset - start);
}

uint32_t XmlDocument::FindNext(uint32_t parent, uint32_t after, const std::string& name) const {
    uint32_t pos = after ? m_index[after].nNext : m_index[parent].nFirstChild;
    while (pos && !name.empty() && NameOf(pos) != name) pos = m_index[pos].nNext;
    return pos;
}

bool XmlDocument::NameFits(const std::string& name) const {
    if (!xml::IsValidName(name)) return false;
    // A name cannot be written as a character reference, so it must fit the declared encoding.
    const bool bAscii = std::all_of(name.begin(), name.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return bAscii || xml::DeclaredEncodingHolds(m_strText, name);
}

std::string XmlDocument::AttributeOf(uint32_t pos, const std::string& name) const {
    const xml::ElementRecord& rec = m_index[pos];
    std::string value;
    ReadAttribute(std::string_view(m_strText).substr(rec.nStart, rec.nTagLen), name, &value);
    return value;
}

// The tag keeps its extent, name and form (TagKeepsValue checks that), so the parse of all other
// text stays as it was and the index can follow in place even in a broken document.
bool XmlDocument::SetAttributeOf(uint32_t pos, const std::string& name, const std::string& value) {
    if (!NameFits(name)) return false;
    const xml::ElementRecord rec = m_index[pos];
    const std::string_view tag = std::string_view(m_strText).substr(rec.nStart, rec.nTagLen);
    std::string newText = "\"" + xml::EscapeAttribute(value) + "\"";
    size_t from;
    size_t to;
    xml::AttributeSpan span;
    if (xml::FindAttribute(tag, name, false, &span)) {
        const size_t nQuote = span.bQuoted ? 1 : 0;
        from = span.nValueStart - nQuote;
        to = span.nValueEnd + nQuote;
        if (!span.bQuoted && from == to) {
            // A bare attribute ("<a flag>") gets its '=' as well.
            const size_t last = tag.find_last_not_of(" \t\r\n", from - 1);
            if (last == std::string_view::npos || tag[last] != '=') newText.insert(0, "=");
        }
    } else {
        // After the last attribute, before "/>" or ">" and the spaces in front of them.
        to = tag.size() - 1;
        if (tag[to - 1] == '/') --to;
        while (to > 1 && xml::IsSpace(tag[to - 1])) --to;
        from = to;
        newText = " " + name + "=" + newText;
    }
    std::string newTag(tag);
    newTag.replace(from, to - from, newText);
    if (!TagKeepsValue(tag, newTag, name, value)) return false;
    if (!ReplaceText(pos, Edit{rec.nStart + from, to - from, newText})) return false;
    m_index[pos].nTagLen = static_cast<uint32_t>(newTag.size());
    return true;
}

uint32_t XmlDocument::InsertUnder(uint32_t parent, uint32_t after, const std::string& name,
                                  const std::string& value) {
    if (!NameFits(name)) return 0;
    const std::string element = BuildElement(name, value);
    const uint32_t prev = after ? after : m_index.LastChild(parent);
    const Placement place = prev ? PlaceAfter(prev) : PlaceInside(parent);
    if (place.nOffset == kNoPlace) return 0;
    const Edit edit{place.nOffset, place.nOldLen, place.strBefore + element + place.strAfter};
    const size_t nStart = place.nOffset + place.strBefore.size();
    if (!CanEditInPlace(parent)) {
        uint32_t pos = 0;
        return ReparseEdit(edit, parent, nStart, &pos) ? pos : 0;
    }
    const bool bWasEmptyTag = m_index[parent].nFlags & xml::ElementIndex::kEmptyTag;
    if (!ReplaceText(parent, edit)) return 0;
    if (bWasEmptyTag) {
        // "<parent/>" became "<parent>...</parent>".
        xml::ElementRecord& rec = m_index[parent];
        rec.nTagLen = static_cast<uint32_t>(place.nOffset + 1 - rec.nStart);
        rec.nFlags &= ~xml::ElementIndex::kEmptyTag;
    }
    const uint32_t pos = m_index.Add();
    xml::ElementRecord& rec = m_index[pos];
    rec.nStart = static_cast<uint32_t>(nStart);
    rec.nLen = static_cast<uint32_t>(element.size());
    rec.nTagLen = value.empty() ? rec.nLen : static_cast<uint32_t>(name.size() + 2);
    if (value.empty()) rec.nFlags |= xml::ElementIndex::kEmptyTag;
    m_index.Link(pos, parent, prev);
    return pos;
}

XmlDocument::Placement XmlDocument::PlaceAfter(uint32_t prev) const {
    return Placement{EndOf(prev), 0, "\n" + IndentOf(m_index[prev].nStart), ""};
}

XmlDocument::Placement XmlDocument::PlaceInside(uint32_t parent) const {
    if (parent == 0) {
        const bool bNewLine = m_strText.empty() || m_strText.back() == '\n';
        return Placement{m_strText.size(), 0, bNewLine ? "" : "\n", "\n"};
    }
    const xml::ElementRecord& rec = m_index[parent];
    // An unended element runs to where an ancestor closes or to the end of the text, which may lie
    // in an unterminated comment; right after its start tag is always outside such markup.
    if (rec.nFlags & xml::ElementIndex::kUnended) {
        return Placement{rec.nStart + rec.nTagLen, 0, "\n", ""};
    }
    const std::string indent = IndentOf(rec.nStart);
    const size_t contentStart = rec.nStart + rec.nTagLen;
    if (rec.nFlags & xml::ElementIndex::kEmptyTag) {
        size_t slash = contentStart - 2;
        while (slash > rec.nStart + 1 && xml::IsSpace(m_strText[slash - 1])) --slash;
        // A broken tag such as <x//> would still end in '/' with its last one taken away.
        if (m_strText[slash - 1] == '/') return Placement{kNoPlace, 0, "", ""};
        return Placement{slash, contentStart - slash, ">\n" + indent + "\t",
                         "\n" + indent + "</" + std::string(NameOf(parent)) + ">"};
    }
    const size_t endTag = m_strText.rfind('<', EndOf(parent) - 1);
    size_t lineStart = endTag;
    while (lineStart > contentStart &&
           (m_strText[lineStart - 1] == ' ' || m_strText[lineStart - 1] == '\t')) {
        --lineStart;
    }
    if (lineStart > contentStart && m_strText[lineStart - 1] == '\n') {
        return Placement{lineStart, 0, indent + "\t", "\n"};
    }
    return Placement{endTag, 0, "\n" + indent + "\t", "\n" + indent};
}

bool XmlDocument::CanEditInPlace(uint32_t parent) const {
    return parent && !(m_index[0].nFlags & xml::ElementIndex::kNotWellFormed);
}

bool XmlDocument::Fits(const Edit& edit) const {
    return m_strText.size() - edit.nOldLen + edit.strNew.size() <= kMaxTextLen;
}

bool XmlDocument::ReplaceText(uint32_t context, const Edit& edit) {
    if (!Fits(edit)) return false;
    m_strText.replace(edit.nOffset, edit.nOldLen, edit.strNew);
    m_index.AdjustForEdit(context, edit.nOffset, edit.nOldLen, edit.strNew.size());
    return true;
}

size_t XmlDocument::StartAfter(uint32_t pos, const Edit& edit) const {
    if (!pos) return kNoStart;
    const size_t start = m_index[pos].nStart;
    if (start < edit.nOffset) return start;
    if (start >= edit.nOffset + edit.nOldLen) return start - edit.nOldLen + edit.strNew.size();
    return kNoStart;
}

bool XmlDocument::ReparseEdit(const Edit& edit, uint32_t parent, size_t nNewStart, uint32_t* pNew) {
    if (!Fits(edit)) return false;
    std::string text = m_strText;
    text.replace(edit.nOffset, edit.nOldLen, edit.strNew);
    xml::ElementIndex index;
    std::string problems;  // an edit adds nothing to the result text
    xml::ParseDocument(text, &index, &problems);
    const auto refind = [&](uint32_t pos) {
        const size_t start = StartAfter(pos, edit);
        return start == kNoStart ? 0 : index.FindStart(start);
    };
    if (nNewStart != kNoStart) {
        *pNew = index.FindStart(nNewStart);
        if (!*pNew || index[*pNew].nParent != refind(parent)) return false;
    }
    m_nParent = refind(m_nParent);
    m_nPos = refind(m_nPos);
    m_nChild = refind(m_nChild);
    m_strText = std::move(text);
    m_index = std::move(index);
    return true;
}
