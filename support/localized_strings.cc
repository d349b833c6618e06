#include "support/localized_strings.h"

#include "support/settings.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace {

// The product word in the string files; every occurrence becomes the brand word.
constexpr std::string_view kBrandToken = "replaceBox";
// A string file saved by an editor that adds a byte-order mark would otherwise lose its first
// key to the mark.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t nStart = 0;
    for (size_t nPos = text.find(from); nPos != std::string_view::npos;
         nPos = text.find(from, nStart)) {
        out.append(text.substr(nStart, nPos - nStart));
        out.append(to);
        nStart = nPos + from.size();
    }
    out.append(text.substr(nStart));
    return out;
}

// Adds one line's key and value to the table unless the line is a comment, has no '=' or
// repeats a key already present.
void AddLine(std::string_view line, std::string_view brandWord,
             std::map<std::string, std::string>* table) {
    if (line.empty() || line.front() == '#') return;
    line = line.substr(0, line.find('#'));
    size_t nEquals = line.find('=');
    if (nEquals == std::string_view::npos) return;
    std::string strKey(line.substr(0, nEquals));
    table->emplace(std::move(strKey), ReplaceAll(line.substr(nEquals + 1), kBrandToken, brandWord));
}

}  // namespace

std::map<std::string, std::string> ParseStringTable(std::string_view text,
                                                    std::string_view brandWord) {
    std::map<std::string, std::string> table;
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    while (!text.empty()) {
        size_t nEnd = text.find('\n');
        AddLine(text.substr(0, nEnd), brandWord, &table);
        if (nEnd == std::string_view::npos) break;
        text.remove_prefix(nEnd + 1);
    }
    return table;
}

std::string GetStringFilePath(const std::string& lang) {
    // The language code comes from the settings file; it must name a file inside the folder.
    if (lang.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) return {};
    if (lang.find("..") != std::string::npos) return {};
    std::string strDir = platform::JoinPath(platform::GetProgramDirectory(), "html");
    strDir = platform::JoinPath(strDir, "i18n");
    return platform::JoinPath(strDir, "strings_" + lang + ".properties");
}

std::map<std::string, std::string> LoadStringTable() {
    // The settings may change between lookups; take one copy of each for this load.
    const std::string strLang = g_appSettings.szLang;
    const std::string strRep = g_appSettings.szRep;
    std::string strPath = GetStringFilePath(strLang);
    std::string strText;
    if (strPath.empty() || !platform::ReadFileBytes(strPath, &strText)) return {};
    return ParseStringTable(strText, strRep);
}

std::string GetLocalizedString(const std::string& key) {
    const std::map<std::string, std::string> table = LoadStringTable();
    auto it = table.find(key);
    return it == table.end() ? std::string() : it->second;
}
