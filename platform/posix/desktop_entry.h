// Desktop entries (XDG ".desktop" files): the keys of their [Desktop Entry] group and the words
// of an Exec command; and the two small text helpers they are read with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The pieces of text between separators (one more than there are separators).
std::vector<std::string> SplitText(std::string_view text, char separator);
// Without the spaces, tabs and line ends at either end.
std::string_view TrimText(std::string_view text);

// The value of a key in the [Desktop Entry] group; empty when absent.
std::string DesktopEntryValue(std::string_view content, std::string_view key);
// Sets a key of the [Desktop Entry] group: its line is replaced, or a line is added right after
// the group's header. False when the content has no such group.
bool SetDesktopEntryValue(std::string* pContent, std::string_view key, const std::string& value);
// The words of an Exec command: double quotes removed (a backslash inside them takes the next
// character as it is), field codes such as %u and %F dropped.
std::vector<std::string> ExecWords(std::string_view command);

}  // namespace platform
