#include "tnl/xml_util.h"

#include <algorithm>
#include <sstream>
#include <utility>

namespace tnl {

namespace {

constexpr unsigned kSerializeFlags = pugi::format_raw | pugi::format_no_declaration;
// Text of blanks alone is kept where it is an element's only content (a name of " "), and
// dropped between elements, where it is layout.
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Visits each step of a '/'-separated path; stops when fnStep returns an empty node. An empty
// step anywhere (a leading, doubled or trailing '/') selects nothing, so "type/" is not "type".
template <typename StepFn>
pugi::xml_node WalkPath(pugi::xml_node node, std::string_view path, StepFn fnStep) {
    if (path.empty()) return node;
    for (;;) {
        size_t nSlash = path.find('/');
        std::string strStep(path.substr(0, nSlash));
        node = strStep.empty() ? pugi::xml_node() : fnStep(node, strStep);
        if (!node || nSlash == std::string_view::npos) return node;
        path.remove_prefix(nSlash + 1);
    }
}

void AppendText(const pugi::xml_node& node, std::string* text) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            *text += child.value();
        } else if (child.type() == pugi::node_element) {
            AppendText(child, text);
        }
    }
}

// Length of the comment, processing instruction or CDATA section at the start of text (0 for
// anything else); these are copied as they are, apart from carriage returns in CDATA.
size_t LiteralMarkupLength(std::string_view text) {
    for (const auto& [open, close] : {std::pair<std::string_view, std::string_view>{"<!--", "-->"},
                                      {"<?", "?>"},
                                      {"<![CDATA[", "]]>"}}) {
        if (!text.starts_with(open)) continue;
        const size_t nClose = text.find(close, open.size());
        return nClose == std::string_view::npos ? text.size() : nClose + close.size();
    }
    return 0;
}

// Offset just past the '>' of the tag that starts at lt (quoted values may hold '>').
size_t TagEnd(std::string_view xml, size_t lt) {
    for (size_t i = lt + 1; i < xml.size(); ++i) {
        if (xml[i] == '"' || xml[i] == '\'') {
            i = xml.find(xml[i], i + 1);
            if (i == std::string_view::npos) break;
        } else if (xml[i] == '>') {
            return i + 1;
        }
    }
    return xml.size();
}

bool IsBlankRun(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Appends text, writing as references the characters a reader would not give back: tabs and
// carriage returns always, and every character of a run of blanks alone, which a reader drops
// as layout when it stands between elements.
void AppendProtected(std::string_view text, bool bBlankRun, std::string* out) {
    for (char c : text) {
        if (bBlankRun || c == '\t' || c == '\r') {
            *out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        } else {
            *out += c;
        }
    }
}

// pugixml writes tabs in attribute values, carriage returns in text and text of blanks alone as
// they are; a reader then turns them into blanks, line feeds or nothing. Written as character
// references they survive. Inside CDATA a reference is literal text: a carriage return there
// ends the section around its reference instead. format_raw puts no white space of its own
// into the output.
std::string ProtectTabsAndReturns(std::string_view xml) {
    std::string strOut;
    strOut.reserve(xml.size());
    for (size_t i = 0; i < xml.size();) {
        if (const size_t nLiteral = LiteralMarkupLength(xml.substr(i)); nLiteral > 0) {
            const bool bCData = xml.substr(i).starts_with("<![CDATA[");
            for (char c : xml.substr(i, nLiteral)) {
                strOut += (bCData && c == '\r') ? "]]>&#13;<![CDATA[" : std::string(1, c);
            }
            i += nLiteral;
            continue;
        }
        const bool bTag = xml[i] == '<';
        const size_t end = bTag ? TagEnd(xml, i) : std::min(xml.find('<', i), xml.size());
        const std::string_view piece = xml.substr(i, end - i);
        AppendProtected(piece, !bTag && IsBlankRun(piece), &strOut);
        i = end;
    }
    return strOut;
}

}  // namespace

Status ParseXml(std::string_view text, pugi::xml_document* doc) {
    pugi::xml_parse_result result =
        doc->load_buffer(text.data(), text.size(), kParseFlags, pugi::encoding_utf8);
    if (result.status == pugi::status_out_of_memory) return kOutOfMemory;
    if (!result || !doc->document_element()) return kNotFound;
    return kOk;
}

std::string SerializeDocument(const pugi::xml_document& doc) {
    std::ostringstream stream;
    doc.save(stream, "", kSerializeFlags, pugi::encoding_utf8);
    return ProtectTabsAndReturns(stream.str()) + "\r\n";
}

std::string SerializeNode(const pugi::xml_node& node) {
    std::ostringstream stream;
    node.print(stream, "", kSerializeFlags, pugi::encoding_utf8);
    return ProtectTabsAndReturns(stream.str());
}

pugi::xml_node SelectPath(pugi::xml_node from, std::string_view path) {
    return WalkPath(from, path, [](pugi::xml_node node, const std::string& strStep) {
        return node.child(strStep.c_str());
    });
}

pugi::xml_node EnsurePath(pugi::xml_node from, std::string_view path) {
    return WalkPath(from, path, [](pugi::xml_node node, const std::string& strStep) {
        pugi::xml_node child = node.child(strStep.c_str());
        return child ? child : node.append_child(strStep.c_str());
    });
}

std::string NodeText(const pugi::xml_node& node) {
    std::string strText;
    AppendText(node, &strText);
    return strText;
}

bool SetNodeText(pugi::xml_node node, std::string_view text) {
    while (node.first_child()) node.remove_child(node.first_child());
    if (text.empty()) return true;
    return node.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
}

std::string EscapeXmlText(std::string_view text) {
    std::string strOut;
    for (char c : text) {
        switch (c) {
            case '&':
                strOut += "&amp;";
                break;
            case '<':
                strOut += "&lt;";
                break;
            case '>':
                strOut += "&gt;";
                break;
            case '"':
                strOut += "&quot;";
                break;
            case '\'':
                strOut += "&apos;";
                break;
            case '\t':
                strOut += "&#9;";
                break;
            case '\n':
                strOut += "&#10;";
                break;
            case '\r':
                strOut += "&#13;";
                break;
            default:
                strOut += c;
        }
    }
    return strOut;
}

void SplitLastStep(std::string_view path, std::string_view* parent, std::string_view* last) {
    size_t nSlash = path.rfind('/');
    *parent = nSlash == std::string_view::npos ? std::string_view() : path.substr(0, nSlash);
    *last = nSlash == std::string_view::npos ? path : path.substr(nSlash + 1);
}

}  // namespace tnl
