// Builds the local configuration file "setup.xml" from the page's form fields and the template
// "html/Default.xml".
#pragma once

#include <string>

// Page field text: fields each followed by U+0002, taken three at a time (element, attribute,
// value). For each triplet, the first child of the template's root with that element name gets
// the attribute set. Text after the last separator is ignored. Saves to the program
// directory's "setup.xml" and returns 0 when the field count is a multiple of three; returns -1
// without writing anything when the text is empty, the template does not load, or a triplet is
// incomplete, and -1 when the file cannot be saved.
int WriteSetupFromPage(const std::string& strFields);

// "setup.xml" in the program directory.
std::string GetLocalSetupPath();
