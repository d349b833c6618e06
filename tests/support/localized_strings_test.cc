#include "support/localized_strings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/settings.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace {

using Table = std::map<std::string, std::string>;

// ---------------------------------------------------------------------------------------------
// Parsing of string-file text

TEST(ParseStringTableTest, HashCutsTheRestOfTheValueButKeepsTheBlankBeforeIt) {
    Table table = ParseStringTable("title=Box # manager\n", "box");
    EXPECT_EQ(table["title"], "Box ");
}

TEST(ParseStringTableTest, SplitsAtTheFirstEqualsSign) {
    Table table = ParseStringTable("a=b=c\n", "box");
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table["a"], "b=c");
}

TEST(ParseStringTableTest, ReplacesEveryBrandTokenInValuesOnly) {
    Table table = ParseStringTable("replaceBox=the replaceBox and replaceBoxes\n", "gateway");
    ASSERT_EQ(table.count("replaceBox"), 1u);
    EXPECT_EQ(table["replaceBox"], "the gateway and gatewayes");
}

TEST(ParseStringTableTest, BrandWordHoldingTheTokenIsInsertedOnce) {
    EXPECT_EQ(ParseStringTable("k=replaceBox replaceBox", "replaceBox!")["k"],
              "replaceBox! replaceBox!");
    EXPECT_EQ(ParseStringTable("k=a replaceBox b", "")["k"], "a  b");
}

TEST(ParseStringTableTest, WindowsLineEndsKeepTheCarriageReturnInTheValue) {
    Table table = ParseStringTable("a=1\r\nb=2\r\nlast=3", "box");
    EXPECT_EQ(table["a"], "1\r");
    EXPECT_EQ(table["b"], "2\r");
    EXPECT_EQ(table["last"], "3");  // no line end after the last line
}

TEST(ParseStringTableTest, FirstDefinitionOfAKeyWins) {
    Table table = ParseStringTable("k=first\nk=second\n", "box");
    EXPECT_EQ(table["k"], "first");
}

TEST(ParseStringTableTest, CommentsEmptyLinesAndLinesWithoutEqualsAreIgnored) {
    Table table = ParseStringTable(
        "# comment=not a value\n"
        "\n"
        "no equals sign\n"
        "cut#=hidden\n"
        "\r\n"
        " k = v \n",
        "box");
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[" k "], " v ");  // neither key nor value is trimmed
}

TEST(ParseStringTableTest, LeadingByteOrderMarkDoesNotBecomePartOfTheFirstKey) {
    Table table = ParseStringTable(
        "\xEF\xBB\xBF"
        "first=1\nsecond=2\n",
        "box");
    EXPECT_EQ(table["first"], "1");
    EXPECT_EQ(table["second"], "2");
}

// ---------------------------------------------------------------------------------------------
// Lookup through the current language's file

class LocalizedStringLookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strSavedLang = g_appSettings.szLang;
        m_strSavedRep = g_appSettings.szRep;
        m_strDir = platform::MakeTempDirectory("zelvo_strings");
        ASSERT_FALSE(m_strDir.empty());
        m_strI18nDir = platform::JoinPath(platform::JoinPath(m_strDir, "html"), "i18n");
        ASSERT_TRUE(platform::CreateDirectories(m_strI18nDir));
        platform::SetProgramDirectory(m_strDir);
        g_appSettings.szLang = "en";
        g_appSettings.szRep = "box";
    }

    void TearDown() override {
        platform::SetProgramDirectory("");
        platform::RemoveDirectoryTree(m_strDir);
        g_appSettings.szLang = m_strSavedLang;
        g_appSettings.szRep = m_strSavedRep;
    }

    void WriteStringFile(const std::string& lang, std::string_view text) {
        std::string strPath = platform::JoinPath(m_strI18nDir, "strings_" + lang + ".properties");
        ASSERT_TRUE(platform::WriteFileAtomic(strPath, text));
    }

    std::string m_strDir;
    std::string m_strI18nDir;
    std::string m_strSavedLang;
    std::string m_strSavedRep;
};

TEST_F(LocalizedStringLookupTest, ReturnsTheBrandedValueOfTheExactKey) {
    WriteStringFile("en", "stopping_zelvo=Stopping the replaceBox...\n");
    g_appSettings.szRep = "gateway";
    EXPECT_EQ(GetLocalizedString("stopping_zelvo"), "Stopping the gateway...");
    EXPECT_EQ(GetLocalizedString("STOPPING_ZELVO"), "");
    EXPECT_EQ(GetLocalizedString("unknown_key"), "");
}

TEST_F(LocalizedStringLookupTest, MissingFileGivesEmptyTexts) {
    g_appSettings.szLang = "fr";
    EXPECT_EQ(GetLocalizedString("alert_title"), "");
}

TEST_F(LocalizedStringLookupTest, ReadsTheFileAgainOnEveryLookup) {
    WriteStringFile("en", "alert_title=Notice\n");
    WriteStringFile("zh", "alert_title=\xE6\x8F\x90\xE7\xA4\xBA\n");
    EXPECT_EQ(GetLocalizedString("alert_title"), "Notice");

    WriteStringFile("en", "alert_title=Attention\n");
    EXPECT_EQ(GetLocalizedString("alert_title"), "Attention");

    g_appSettings.szLang = "zh";
    EXPECT_EQ(GetLocalizedString("alert_title"), "\xE6\x8F\x90\xE7\xA4\xBA");
}

TEST_F(LocalizedStringLookupTest, LanguageCodeThatLeavesTheStringFolderIsNotUsed) {
    // Without the check, "x/../../../outside" would resolve to <program dir>/outside.properties.
    ASSERT_TRUE(platform::CreateDirectories(platform::JoinPath(m_strI18nDir, "strings_x")));
    ASSERT_TRUE(platform::WriteFileAtomic(platform::JoinPath(m_strDir, "outside.properties"),
                                          "alert_title=leaked\n"));
    g_appSettings.szLang = "x/../../../outside";
    EXPECT_EQ(GetLocalizedString("alert_title"), "");

    for (const char* szLang : {"..", "a\\b", "../en", "en/"}) {
        EXPECT_EQ(GetStringFilePath(szLang), "") << szLang;
    }
    EXPECT_EQ(GetStringFilePath(std::string("en\0/", 4)), "");
    std::string strPath = GetStringFilePath("en");
    EXPECT_EQ(strPath, platform::JoinPath(m_strI18nDir, "strings_en.properties"));
}

// ---------------------------------------------------------------------------------------------
// The string files shipped with the pages

// Every key that the program's own code looks up.
// clang-format off
const std::vector<std::string> kProgramKeys = {
    "alert_title", "button_monitor", "button_setup", "button_config", "button_about", "minimize",
    "maximize", "restore", "close", "statu_ready", "init_virtual_port", "reinstall_msg",
    "detect_zelvo_failed", "light_cmd_suc", "light_cmd_err", "stopping_zelvo", "stop_zelvo_failed",
    "reboot_zelvo", "get_maccode_success", "get_maccode_failed", "set_mode_success",
    "set_mode_failed", "save_config_failed", "download_config_file", "download_project_file",
    "download_success", "download_failed", "upload_config_file", "upload_config_success",
    "upload_password_invalid", "upload_prohibit", "upload_config_failed",
    "path_too_long", "detecting_network",
    "detect_network_failed", "ethernet_ip_address", "ethernet_mac_address",
    "get_ethernet_ip_failed", "get_ethernet_mac_failed", "set_ethernet_failed", "wifi_ip_address",
    "wifi_mac_address", "get_wifi_ip_failed", "get_wifi_mac_failed", "set_wifi_failed",
    "mobile_network_ip_address", "get_4g_ip_failed", "mobile_network", "set_4g_failed",
    "connect_server_failed", "connect_server_time", "string_format", "updating_time",
    "update_tz_success", "update_tz_same", "update_tz_fail", "update_tz_err_update_firm",
    "update_time_success", "update_time_failed", "is_update_tz", "detect_fireware",
    "detect_fireware_failed", "detect_soft_fireware_failed", "detect_new_firmware",
    "is_update_firmware", "is_up_to_date", "update_note", "download_file", "open_src_file_failed",
    "crypt_file_failed", "md5_error", "is_update_software", "installing_server", "enable_server",
    "install_server_success", "create_error", "is_install_server", "install_server_error",
    "set_com_error", "virtual_config", "detect_server_yes", "detect_server_no",
    "btn_install_server", "btn_uninstall_server", "btn_start_up_server", "using_com",
    "com_is_using", "btn_set", "unin_server", "browser", "recommend", "browse", "curserver",
    "hmi_down_enabled", "hmi_down_disabled", "cert_file", "cert_import", "set_cert_file",
    "hmi_down_set", "version", "position", "btn_ok", "cancel", "hmi_no_editor", "hmi_incompat_ver",
    "hmi_no_ver"};
// clang-format on

// The files are read from the source tree, so a stale copy beside the executable cannot hide a
// fault; the copy in the working directory serves when the source tree is not at hand.
std::string ReadShippedStringFile(const std::string& lang) {
    std::string strName = "strings_" + lang + ".properties";
    std::filesystem::path sourceDir =
        std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "data" / "html" / "i18n";
    std::string strText;
    if (platform::ReadFileBytes((sourceDir / strName).string(), &strText)) return strText;
    if (platform::ReadFileBytes("html/i18n/" + strName, &strText)) return strText;
    ADD_FAILURE() << "string file not found: " << strName;
    return {};
}

// Number of floating-point conversions in a printf format, or -1 when it holds any other
// conversion or one that would read something other than a double.
int CountDoubleConversions(std::string_view format) {
    int nCount = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i < format.size() && format[i] == '%') continue;
        while (i < format.size() &&
               std::string_view("-+ #0").find(format[i]) != std::string_view::npos)
            ++i;
        while (i < format.size() &&
               (isdigit(static_cast<unsigned char>(format[i])) || format[i] == '.'))
            ++i;
        if (i < format.size() && format[i] == 'l') ++i;
        if (i >= format.size() ||
            std::string_view("fFeEgGaA").find(format[i]) == std::string_view::npos) {
            return -1;
        }
        ++nCount;
    }
    return nCount;
}

TEST(StringFileTest, FormatCheckerRecognisesDoubleConversions) {
    EXPECT_EQ(CountDoubleConversions("%f %.2lf %-8.3e"), 3);
    EXPECT_EQ(CountDoubleConversions("100%% %g"), 1);
    EXPECT_EQ(CountDoubleConversions("%d %f %f"), -1);
    EXPECT_EQ(CountDoubleConversions("%*f"), -1);
    EXPECT_EQ(CountDoubleConversions("%Lf"), -1);
    EXPECT_EQ(CountDoubleConversions("%s"), -1);
    EXPECT_EQ(CountDoubleConversions("trailing %"), -1);
}

class ShippedStringFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedStringFileTest, DefinesEveryProgramKey) {
    Table table = ParseStringTable(ReadShippedStringFile(GetParam()), "box");
    for (const std::string& strKey : kProgramKeys) EXPECT_EQ(table.count(strKey), 1u) << strKey;
}

TEST_P(ShippedStringFileTest, ValuesAreNonEmptySingleLinesSafeForPageScript) {
    Table table = ParseStringTable(ReadShippedStringFile(GetParam()), "box");
    ASSERT_FALSE(table.empty());
    for (const auto& [strKey, strValue] : table) {
        EXPECT_FALSE(strValue.empty()) << strKey;
        // Lines for the page go into script text verbatim: a quote or backslash breaks it, and a
        // carriage return means the file was saved with Windows line ends.
        EXPECT_EQ(strValue.find_first_of("\"\\\r"), std::string::npos) << strKey;
    }
}

TEST_P(ShippedStringFileTest, DefinesNoKeyTwice) {
    std::string strText = ReadShippedStringFile(GetParam());
    std::set<std::string> seen;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strText.size();
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        size_t nEquals = strLine.find('=');
        if (strLine.empty() || strLine[0] == '#' || nEquals == std::string::npos) continue;
        EXPECT_TRUE(seen.insert(strLine.substr(0, nEquals)).second) << strLine;
    }
}

TEST_P(ShippedStringFileTest, PingFormatHoldsExactlyThreeFloatingPointConversions) {
    Table table = ParseStringTable(ReadShippedStringFile(GetParam()), "box");
    EXPECT_EQ(CountDoubleConversions(table["string_format"]), 3) << table["string_format"];
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedStringFileTest, ::testing::Values("en", "zh"));

TEST(StringFileTest, BothLanguagesDefineTheSameKeys) {
    Table english = ParseStringTable(ReadShippedStringFile("en"), "box");
    Table chinese = ParseStringTable(ReadShippedStringFile("zh"), "box");
    std::set<std::string> englishKeys, chineseKeys;
    for (const auto& [strKey, strValue] : english) englishKeys.insert(strKey);
    for (const auto& [strKey, strValue] : chinese) chineseKeys.insert(strKey);
    for (const std::string& strKey : englishKeys) {
        EXPECT_TRUE(chineseKeys.count(strKey)) << "only in English: " << strKey;
        EXPECT_FALSE(chinese[strKey].empty()) << "empty in Chinese: " << strKey;
    }
    for (const std::string& strKey : chineseKeys) {
        EXPECT_TRUE(englishKeys.count(strKey)) << "only in Chinese: " << strKey;
        EXPECT_FALSE(english[strKey].empty()) << "empty in English: " << strKey;
    }
}

}  // namespace
