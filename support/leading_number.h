// Numbers typed as text (page arguments, JSON texts, ports in addresses) are read as the C
// library's atoi reads them, but without its undefined behaviour on overflow.
#pragma once

#include <string>

// The leading decimal number of the text (after white space, with an optional sign), kept
// within int; 0 when the text does not start with one.
int ReadLeadingNumber(const std::string& strText);
