// Localized texts: every text the program shows is looked up by key in the string file of the
// current language, "<program dir>/html/i18n/strings_<lang>.properties".
#pragma once

#include <map>
#include <string>
#include <string_view>

// Parses string-file text (UTF-8; a leading byte-order mark is skipped) into a key/value table:
// lines end at '\n' (a '\r' before it stays in the value); a line starting with '#' is a
// comment; elsewhere everything from the first '#' on is dropped; the line splits at its first
// '='; lines without '=' are ignored; the first definition of a key wins; "replaceBox" in a
// value becomes the brand word.
std::map<std::string, std::string> ParseStringTable(std::string_view text,
                                                    std::string_view brandWord);

// Path of the string file of the language, or empty when the code could lead out of the
// string folder (it holds '/', '\\', ".." or a NUL character).
std::string GetStringFilePath(const std::string& lang);

// Value of the key in the current language's file (read again on every call), or empty when
// the file or the key is missing. Uses the program directory and the lang and rep settings.
std::string GetLocalizedString(const std::string& key);
// The whole table of the current language's file, for callers that need many texts at once.
std::map<std::string, std::string> LoadStringTable();
