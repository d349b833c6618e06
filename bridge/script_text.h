// Building page script from text that comes from outside the program.
#pragma once

#include <string>
#include <string_view>

// Escapes text for a double-quoted script string literal: backslash, both quotes, line breaks,
// other control characters, U+2028/U+2029 and '<' (so "</script>" cannot close a script
// element). Box replies, discovery results and file contents pass through here before they
// are placed in page script, so a quote cannot break the page and a device cannot inject script.
std::string EscapeScriptString(std::string_view text);

// "AddText(\"<escaped line>\");"
std::string MakeAddTextScript(std::string_view line);
