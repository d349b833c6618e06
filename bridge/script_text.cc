#include "bridge/script_text.h"

#include <cstdio>

namespace {

void AppendHexEscape(std::string* out, unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    *out += buf;
}

// U+2028 and U+2029 end a line inside script source; their UTF-8 form is E2 80 A8/A9.
bool IsScriptLineSeparator(std::string_view text, size_t i) {
    return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xE2 &&
           static_cast<unsigned char>(text[i + 1]) == 0x80 &&
           (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
            static_cast<unsigned char>(text[i + 2]) == 0xA9);
}

}  // namespace

std::string EscapeScriptString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '\\': out += "\\\\"; continue;
            case '"': out += "\\\""; continue;
            case '\'': out += "\\'"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            case '<': out += "\\x3C"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            AppendHexEscape(&out, c);
        } else if (IsScriptLineSeparator(text, i)) {
            out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string MakeAddTextScript(std::string_view line) {
    return "AddText(\"" + EscapeScriptString(line) + "\");";
}
