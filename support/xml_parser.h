// Builds the element index of an XML text in one walk and records the syntax and structure
// problems it meets in the result text.
#pragma once

#include <string>
#include <string_view>

#include "support/xml_index.h"

namespace xml {

// Rebuilds *index from text. Returns true when the text has exactly one root element and no
// problem was found; otherwise the index still holds every element that was recognised, and
// the document record carries ElementIndex::kNotWellFormed.
bool ParseDocument(std::string_view text, ElementIndex* index, std::string* result);

}  // namespace xml
