#include "support/xml_document.h"

#include <limits>
#include <utility>

#include "support/xml_markup.h"
#include "support/xml_parser.h"

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
    const xml::ElementRecord rec = m_index[m_nPos];
    size_t end = EndOf(m_nPos);
    while (end < m_strText.size() && xml::IsSpace(m_strText[end])) ++end;
    m_index.Remove(m_nPos);
    ReplaceText(rec.nParent, rec.nStart, end - rec.nStart, "");
    m_nPos = rec.nPrev;
    m_nChild = 0;
    return true;
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

std::string XmlDocument::AttributeOf(uint32_t pos, const std::string& name) const {
    const xml::ElementRecord& rec = m_index[pos];
    const std::string_view tag = std::string_view(m_strText).substr(rec.nStart, rec.nTagLen);
    xml::AttributeSpan span;
    if (!xml::FindAttribute(tag, name, false, &span)) return "";
    return xml::DecodeEntities(tag.substr(span.nValueStart, span.nValueEnd - span.nValueStart));
}

bool XmlDocument::SetAttributeOf(uint32_t pos, const std::string& name, const std::string& value) {
    if (!xml::IsValidName(name)) return false;
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
    if (!ReplaceText(pos, rec.nStart + from, to - from, newText)) return false;
    m_index[pos].nTagLen += static_cast<uint32_t>(newText.size() - (to - from));
    return true;
}

uint32_t XmlDocument::InsertUnder(uint32_t parent, uint32_t after, const std::string& name,
                                  const std::string& value) {
    if (!xml::IsValidName(name)) return 0;
    const std::string element = BuildElement(name, value);
    const uint32_t prev = after ? after : m_index.LastChild(parent);
    const Placement place = prev ? PlaceAfter(prev) : PlaceInside(parent);
    const bool bWasEmptyTag = parent && (m_index[parent].nFlags & xml::ElementIndex::kEmptyTag);
    const std::string newText = place.strBefore + element + place.strAfter;
    if (!ReplaceText(parent, place.nOffset, place.nOldLen, newText)) return 0;
    if (bWasEmptyTag) {
        // "<parent/>" became "<parent>...</parent>".
        xml::ElementRecord& rec = m_index[parent];
        rec.nTagLen = static_cast<uint32_t>(place.nOffset + 1 - rec.nStart);
        rec.nFlags &= ~xml::ElementIndex::kEmptyTag;
    }
    const uint32_t pos = m_index.Add();
    xml::ElementRecord& rec = m_index[pos];
    rec.nStart = static_cast<uint32_t>(place.nOffset + place.strBefore.size());
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
    if (rec.nFlags & xml::ElementIndex::kUnended) return Placement{EndOf(parent), 0, "\n", ""};
    const std::string indent = IndentOf(rec.nStart);
    const size_t contentStart = rec.nStart + rec.nTagLen;
    if (rec.nFlags & xml::ElementIndex::kEmptyTag) {
        size_t slash = contentStart - 2;
        while (slash > rec.nStart + 1 && xml::IsSpace(m_strText[slash - 1])) --slash;
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

bool XmlDocument::ReplaceText(uint32_t context, size_t offset, size_t oldLen,
                              std::string_view newText) {
    if (m_strText.size() - oldLen + newText.size() > kMaxTextLen) return false;
    m_strText.replace(offset, oldLen, newText);
    m_index.AdjustForEdit(context, offset, oldLen, newText.size());
    return true;
}
