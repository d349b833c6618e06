#include "platform/posix/desktop_entry.h"

namespace platform {

namespace {

constexpr size_t kNoLine = static_cast<size_t>(-1);

// The line of key in the [Desktop Entry] group (kNoLine when absent) and the group's header
// line (kNoLine when there is no such group).
size_t FindEntryLine(const std::vector<std::string>& lines, std::string_view key,
                     size_t* pGroupLine) {
    *pGroupLine = kNoLine;
    bool bInEntryGroup = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimText(lines[i]);
        if (!line.empty() && line.front() == '[') {
            bInEntryGroup = line == "[Desktop Entry]";
            if (bInEntryGroup && *pGroupLine == kNoLine) *pGroupLine = i;
            continue;
        }
        const size_t nEquals = line.find('=');
        if (bInEntryGroup && nEquals != std::string_view::npos &&
            TrimText(line.substr(0, nEquals)) == key)
            return i;
    }
    return kNoLine;
}

}  // namespace

std::vector<std::string> SplitText(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = text.find(separator, nStart)) != std::string_view::npos;
         nStart = nEnd + 1) {
        parts.emplace_back(text.substr(nStart, nEnd - nStart));
    }
    parts.emplace_back(text.substr(nStart));
    return parts;
}

std::string_view TrimText(std::string_view text) {
    const size_t nStart = text.find_first_not_of(" \t\r\n");
    if (nStart == std::string_view::npos) return {};
    return text.substr(nStart, text.find_last_not_of(" \t\r\n") - nStart + 1);
}

std::string DesktopEntryValue(std::string_view content, std::string_view key) {
    const std::vector<std::string> lines = SplitText(content, '\n');
    size_t nGroup = 0;
    const size_t nLine = FindEntryLine(lines, key, &nGroup);
    if (nLine == kNoLine) return {};
    const std::string_view line = TrimText(lines[nLine]);
    return std::string(TrimText(line.substr(line.find('=') + 1)));
}

bool SetDesktopEntryValue(std::string* pContent, std::string_view key, const std::string& value) {
    std::vector<std::string> lines = SplitText(*pContent, '\n');
    size_t nGroup = 0;
    const size_t nLine = FindEntryLine(lines, key, &nGroup);
    if (nGroup == kNoLine) return false;
    const std::string strLine = std::string(key) + "=" + value;
    if (nLine != kNoLine) {
        lines[nLine] = strLine;
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(nGroup) + 1, strLine);
    }
    pContent->clear();
    for (size_t i = 0; i < lines.size(); ++i) *pContent += (i == 0 ? "" : "\n") + lines[i];
    return true;
}

std::vector<std::string> ExecWords(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool bInWord = false, bQuoted = false;
    const auto endWord = [&] {
        if (bInWord && !(word.size() == 2 && word[0] == '%')) words.push_back(word);
        word.clear();
        bInWord = false;
    };
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (!bQuoted && (c == ' ' || c == '\t')) {
            endWord();
            continue;
        }
        bInWord = true;
        if (c == '"') {
            bQuoted = !bQuoted;
        } else if (bQuoted && c == '\\' && i + 1 < command.size()) {
            word += command[++i];
        } else {
            word += c;
        }
    }
    endWord();
    return words;
}

}  // namespace platform
