// The DOM operations the library needs, on pugixml: parsing and serialising with the library's
// status codes, and selection by child path ("a/b/c", exact element names, no other syntax).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "tnl/tnl_status.h"

namespace tnl {

// 0, kNotFound when the text does not parse or has no element, kOutOfMemory.
Status ParseXml(std::string_view text, pugi::xml_document* doc);

// The whole document without a declaration, ending with a line break as the DOM's document text
// does (the transport removes it from requests).
std::string SerializeDocument(const pugi::xml_document& doc);
// One element and its content, without a trailing line break.
std::string SerializeNode(const pugi::xml_node& node);

// The element at the path below `from`, or an empty node.
pugi::xml_node SelectPath(pugi::xml_node from, std::string_view path);
// As SelectPath, creating every missing element along the path as the last child of its parent.
pugi::xml_node EnsurePath(pugi::xml_node from, std::string_view path);

// The typed value of an element: all text below it, in document order.
std::string NodeText(const pugi::xml_node& node);
// Replaces the element's content by the text.
bool SetNodeText(pugi::xml_node node, std::string_view text);

// Text made safe to put between tags or inside a double-quoted attribute.
std::string EscapeXmlText(std::string_view text);

// Splits "a/b/c" into "a/b" and "c" (the parent path is empty for a single step).
void SplitLastStep(std::string_view path, std::string_view* parent, std::string_view* last);

}  // namespace tnl
