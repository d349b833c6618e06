#include "support/encoding_names.h"

#include "support/xml_markup.h"

namespace xml {
namespace {

struct EncodingAlias {
    std::string_view label;
    std::string_view encoding;
};

// Labels whose encoding differs from the one iconv would pick for the same name, or that iconv
// does not know. Legacy labels map to the Windows code page that decodes them.
constexpr EncodingAlias kAliases[] = {
    // Unicode forms.
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"unicode-1-1-utf-8", "UTF-8"},
    {"x-unicode20utf8", "UTF-8"},
    {"utf-16", "UTF-16"},
    {"utf16", "UTF-16"},
    {"ucs-2", "UTF-16"},
    {"iso-10646-ucs-2", "UTF-16"},
    {"csunicode", "UTF-16"},
    {"unicode", "UTF-16"},
    {"utf-16le", "UTF-16LE"},
    {"utf16le", "UTF-16LE"},
    {"utf-16be", "UTF-16BE"},
    {"utf16be", "UTF-16BE"},
    {"unicodefffe", "UTF-16BE"},
    {"utf-7", "UTF-7"},
    {"utf7", "UTF-7"},
    {"unicode-1-1-utf-7", "UTF-7"},
    {"csunicode11utf7", "UTF-7"},
    {"x-unicode20utf7", "UTF-7"},
    // Simplified Chinese: code page 936 (GBK).
    {"gb2312", "CP936"},
    {"gb_2312", "CP936"},
    {"gb_2312-80", "CP936"},
    {"csgb2312", "CP936"},
    {"csgb231280", "CP936"},
    {"csiso58gb231280", "CP936"},
    {"iso-ir-58", "CP936"},
    {"chinese", "CP936"},
    {"euc-cn", "CP936"},
    {"x-euc-cn", "CP936"},
    {"gbk", "CP936"},
    {"x-gbk", "CP936"},
    {"cp936", "CP936"},
    {"ms936", "CP936"},
    {"windows-936", "CP936"},
    // Western European and ASCII: code page 1252.
    {"iso-8859-1", "CP1252"},
    {"iso8859-1", "CP1252"},
    {"iso_8859-1", "CP1252"},
    {"iso_8859-1:1987", "CP1252"},
    {"iso-ir-100", "CP1252"},
    {"latin1", "CP1252"},
    {"l1", "CP1252"},
    {"cp819", "CP1252"},
    {"ibm819", "CP1252"},
    {"csisolatin1", "CP1252"},
    {"us-ascii", "CP1252"},
    {"ascii", "CP1252"},
    {"ansi_x3.4-1968", "CP1252"},
    {"iso646-us", "CP1252"},
    {"csascii", "CP1252"},
    {"cp367", "CP1252"},
    {"ibm367", "CP1252"},
    {"windows-1252", "CP1252"},
    {"x-cp1252", "CP1252"},
    // Thai: code page 874.
    {"tis-620", "CP874"},
    {"iso-8859-11", "CP874"},
    {"windows-874", "CP874"},
    {"dos-874", "CP874"},
    // Japanese: code page 932.
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"sjis", "CP932"},
    {"x-sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"csshiftjis", "CP932"},
    {"windows-31j", "CP932"},
    {"cp932", "CP932"},
    {"ms932", "CP932"},
    // Korean: code page 949 (unified Hangul).
    {"euc-kr", "CP949"},
    {"cseuckr", "CP949"},
    {"ks_c_5601-1987", "CP949"},
    {"ks_c_5601-1989", "CP949"},
    {"ks_c_5601", "CP949"},
    {"ksc_5601", "CP949"},
    {"ksc5601", "CP949"},
    {"csksc56011987", "CP949"},
    {"iso-ir-149", "CP949"},
    {"korean", "CP949"},
    {"uhc", "CP949"},
    {"cp949", "CP949"},
    {"windows-949", "CP949"},
    // Traditional Chinese: code page 950.
    {"big5", "CP950"},
    {"big-5", "CP950"},
    {"cn-big5", "CP950"},
    {"csbig5", "CP950"},
    {"x-x-big5", "CP950"},
    {"cp950", "CP950"},
    {"windows-950", "CP950"},
};

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string CanonicalEncoding(std::string_view label) {
    label = TrimSpaces(label);
    for (const EncodingAlias& alias : kAliases) {
        if (EqualsIgnoreCase(label, alias.label)) return std::string(alias.encoding);
    }
    return std::string(label);
}

}  // namespace xml
