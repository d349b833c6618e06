#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace platform {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// Restores the legacy code page a test changed.
class CodePageTest : public ::testing::Test {
  protected:
    void SetUp() override { m_strSaved = GetLegacyCodePage(); }
    void TearDown() override { SetLegacyCodePage(m_strSaved); }

  private:
    std::string m_strSaved;
};

TEST(Utf8Validation, AcceptsWellFormedSequencesUpToTheLastCodePoint) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"));  // é 中 😀
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF\xEE\x80\x80"));              // U+D7FF U+E000
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));                      // U+10FFFF
}

TEST(Utf8Validation, RejectsOverlongsSurrogatesAndTruncatedSequences) {
    const char* kBad[] = {
        "\xC0\x80",         "\xC1\xBF",      "\xE0\x80\x80", "\xE0\x9F\xBF",  // overlongs
        "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",  "\xED\xBF\xBF",                  // surrogates
        "\xF4\x90\x80\x80", "\xF5\x80\x80",  "\xFF",                          // out of range
        "\xE4\xB8",         "a\xF0\x9F\x98", "\x80",         "\xC3",          // truncated, lone
    };
    for (const char* bad : kBad) EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(Utf8Validation, SanitizeReplacesEachMalformedPartOnce) {
    EXPECT_EQ(SanitizeUtf8("ok \xE4\xB8\xAD"), "ok \xE4\xB8\xAD");
    EXPECT_EQ(SanitizeUtf8("a\xE4\xB8"
                           "b"),
              "a" + kFffd + "b");                        // truncated: one replacement
    EXPECT_EQ(SanitizeUtf8("\xC0\x80"), kFffd + kFffd);  // invalid lead, lone trail
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), kFffd + kFffd + kFffd);
    EXPECT_TRUE(IsValidUtf8(SanitizeUtf8("\xFF\xFE\xF0\x9F\x98 x \xC3")));
}

TEST_F(CodePageTest, LegacyTextIsDecodedWithTheLegacyCodePage) {
    SetLegacyCodePage("GBK");
    EXPECT_EQ(AnsiToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");  // 中文
    SetLegacyCodePage("CP1252");
    EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");  // café €
}

TEST_F(CodePageTest, ValidUtf8IsKeptWhateverTheLegacyCodePage) {
    SetLegacyCodePage("GBK");
    EXPECT_EQ(AnsiToUtf8("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xC3\xA9");
}

TEST_F(CodePageTest, UndecodableLegacyBytesBecomeReplacementCharacters) {
    SetLegacyCodePage("GBK");
    EXPECT_EQ(AnsiToUtf8("\xD6\xD0\xFF"
                         "x\xCE\xC4"),
              "\xE4\xB8\xAD" + kFffd + "x\xE6\x96\x87");
    EXPECT_EQ(AnsiToUtf8("x\xD6"), "x" + kFffd);  // lead byte cut off at the end
    SetLegacyCodePage("NO-SUCH-CODEPAGE");
    EXPECT_EQ(AnsiToUtf8("a\xFF"), "a" + kFffd);
}

TEST_F(CodePageTest, DefaultComesFromTheEnvironmentElseCp1252) {
    setenv("ZELVO_ANSI_CODEPAGE", "GBK", 1);
    SetLegacyCodePage("");
    EXPECT_EQ(GetLegacyCodePage(), "GBK");
    unsetenv("ZELVO_ANSI_CODEPAGE");
    SetLegacyCodePage("");
    EXPECT_EQ(GetLegacyCodePage(), "CP1252");
}

TEST(ConvertEncoding, ConvertsBetweenNamedEncodings) {
    std::string out;
    ASSERT_TRUE(ConvertEncoding("A\xE4\xB8\xAD", "UTF-8", "UTF-16LE", &out));
    EXPECT_EQ(out, std::string("A\0\x2D\x4E", 4));
    ASSERT_TRUE(ConvertEncoding("\xE4\xB8\xAD\xE6\x96\x87", "UTF-8", "GBK", &out));
    EXPECT_EQ(out, "\xD6\xD0\xCE\xC4");
    ASSERT_TRUE(ConvertEncoding(out, "GBK", "UTF-8", &out));
    EXPECT_EQ(out, "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(CodePageTest, UndefinedCp1252BytesAreTheC1ControlsAsOnWindows) {
    const std::string bytes = "\x80\x81\x8D\x8F\x90\x9D!";
    const std::string text = "\xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D!";
    std::string out;
    ASSERT_TRUE(ConvertEncoding(bytes, "CP1252", "UTF-8", &out));
    EXPECT_EQ(out, text);
    ASSERT_TRUE(ConvertEncoding(text, "UTF-8", "windows-1252", &out));
    EXPECT_EQ(out, bytes);
    SetLegacyCodePage("CP1252");
    EXPECT_EQ(AnsiToUtf8(bytes), text);
}

TEST(ConvertEncoding, FailsOnLossAndKeepsWhatWasConverted) {
    std::string out = "stale";
    EXPECT_FALSE(
        ConvertEncoding("ab\xE2\x82\xAC"
                        "cd",
                        "UTF-8", "ISO-8859-1", &out));
    EXPECT_EQ(out, "ab");
    EXPECT_FALSE(ConvertEncoding("x\xFF", "UTF-8", "UTF-16LE", &out));
    EXPECT_EQ(out, std::string("x\0", 2));
    EXPECT_FALSE(ConvertEncoding("x", "UTF-8", "NO-SUCH-ENCODING", &out));
}

TEST(Utf16, RoundTripsSupplementaryCharactersAsSurrogatePairs) {
    const std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a 中 😀
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'a', 0x4E2D, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf16, UnpairedSurrogatesAndMalformedUtf8BecomeReplacements) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'x', 0xDE00}), kFffd + "x" + kFffd);
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              (std::u16string{u'a', 0xFFFD, u'b'}));
}

TEST(Utf16, AppendUtf8EncodesEveryLengthAndReplacesInvalidCodePoints) {
    std::string out;
    for (char32_t cp :
         {U'A', U'\u00E9', U'\u4E2D', U'\U0001F600', char32_t{0xDC00}, char32_t{0x110000}}) {
        AppendUtf8(cp, &out);
    }
    EXPECT_EQ(out, "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80" + kFffd + kFffd);
}

TEST(CodePoints, CountAndTruncateNeverSplitACharacter) {
    const std::string text =
        "\xE4\xB8\xAD\xE6\x96\x87"
        "ab";  // 中文ab
    EXPECT_EQ(CountCodePoints(text), 4u);
    EXPECT_EQ(TruncateCodePoints(text, 1), "\xE4\xB8\xAD");
    EXPECT_EQ(TruncateCodePoints(text, 3),
              "\xE4\xB8\xAD\xE6\x96\x87"
              "a");
    EXPECT_EQ(TruncateCodePoints(text, 10), text);
    EXPECT_EQ(TruncateCodePoints(text, 0), "");
}

TEST_F(CodePageTest, AnsiCutsFallOnWholeCharacters) {
    const struct {
        const char* codePage;
        std::string bytes;
        size_t nMax;
        std::string expected;
    } kCases[] = {
        {"CP1252", "\xE7\xBD\x91\xE7\xBD\x91", 4, "\xE7\xBD\x91"},  // UTF-8 网网
        {"CP1252", "\xC3\xA9\xC3\xA9", 3, "\xC3\xA9"},                // UTF-8 éé
        {"CP1252", "caf\xE9s", 4, "caf\xE9"},                           // CP1252 is one byte each
        {"GBK", "a\xCD\xF8\xB9\xD8", 4, "a\xCD\xF8"},                   // GBK 网关 cut in 关
        {"GBK", "a\xCD\xF8\xB9\xD8", 3, "a\xCD\xF8"},
        {"GBK", "\xCD\xF8", 1, ""},
        {"GBK", "ab", 5, "ab"},
    };
    for (const auto& c : kCases) {
        SetLegacyCodePage(c.codePage);
        EXPECT_EQ(CutAnsiText(c.bytes, c.nMax), c.expected) << c.codePage << " " << c.nMax;
    }
}

TEST(CodePoints, MalformedBytesCountOneEach) {
    EXPECT_EQ(CountCodePoints("a\xE4\xB8"
                              "b"),
              4u);
    EXPECT_EQ(TruncateCodePoints("\xFF\xFE"
                                 "x",
                                 1),
              "\xFF");
}

}  // namespace
}  // namespace platform
