#include "tnl/xml_util.h"

#include <sstream>

namespace tnl {

namespace {

constexpr unsigned kSerializeFlags = pugi::format_raw | pugi::format_no_declaration;

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

// pugixml writes tabs in attribute values and carriage returns in text as they are; a reader
// then turns them into blanks and line feeds. Written as character references they survive.
// format_raw puts no tab or carriage return of its own into the output.
std::string ProtectTabsAndReturns(const std::string& xml) {
    std::string strOut;
    strOut.reserve(xml.size());
    for (char c : xml) {
        if (c == '\t') {
            strOut += "&#9;";
        } else if (c == '\r') {
            strOut += "&#13;";
        } else {
            strOut += c;
        }
    }
    return strOut;
}

}  // namespace

Status ParseXml(std::string_view text, pugi::xml_document* doc) {
    pugi::xml_parse_result result =
        doc->load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
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
