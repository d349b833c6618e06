#include "platform/codepage.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/fakes/test_env.h"

namespace platform {
namespace {

using namespace std::string_literals;

const std::string kFffd = "\xEF\xBF\xBD";

#ifdef _WIN32
const std::string kSystemCodePage = "CP" + std::to_string(GetACP());
const bool kHasGb18030 = IsValidCodePage(54936);  // Wine knows only its GBK part
#else
const std::string kSystemCodePage = "CP1252";
const bool kHasGb18030 = true;
#endif
bool IsGb18030(const std::string& name) { return name == "GB18030"; }

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

TEST_F(CodePageTest, DefaultComesFromTheEnvironmentElseTheSystem) {
    for (const std::string value : {"GBK", ""}) {  // empty counts as unset
        CScopedVariable variable("ZELVO_ANSI_CODEPAGE", value);
        SetLegacyCodePage("");
        EXPECT_EQ(GetLegacyCodePage(), value.empty() ? kSystemCodePage : value);
    }
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

TEST(ConvertEncoding, KnowsTheCommonNamesOfEachEncoding) {
    const struct {
        const char *szFrom, *szTo;
        std::string in, expected;
    } kCases[] = {
        {"CP936", "UTF-8", "\xD6\xD0", "\xE4\xB8\xAD"},                 // 中
        {"gb2312", "utf-8", "\xD6\xD0", "\xE4\xB8\xAD"},
        {"GB18030", "UTF-8", "\x81\x30\x81\x30", "\xC2\x80"},          // four bytes
        {"UTF-8", "GB18030", "\xF0\x9F\x98\x80", "\x94\x39\xFC\x36"},  // 😀
        {"UTF-8", "UTF-16BE", "A\xE4\xB8\xAD", "\0A\x4E\x2D"s},
        {"UTF-16LE", "UTF-8", "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"ISO-8859-1", "UTF-8", "caf\xE9", "caf\xC3\xA9"},
        {"UTF-8", "CP1251", "\xD0\x96", "\xC6"},                          // Ж
        {"UTF-8", "UTF-7", "a\xE4\xB8\xAD", "a+Ti0-"},
        {"BIG5", "UTF-8", "\xA4\xA4", "\xE4\xB8\xAD"},
    };
    for (const auto& c : kCases) {
        if (!kHasGb18030 && (IsGb18030(c.szFrom) || IsGb18030(c.szTo))) continue;
        std::string out;
        EXPECT_TRUE(ConvertEncoding(c.in, c.szFrom, c.szTo, &out)) << c.szFrom << ">" << c.szTo;
        EXPECT_EQ(out, c.expected) << c.szFrom << ">" << c.szTo;
    }
}

TEST(ConvertEncoding, FailsOnLossAndKeepsWhatWasConverted) {
    const struct {
        const char *szFrom, *szTo;
        std::string in, kept;
    } kCases[] = {
        {"GBK", "UTF-8", "\xD6\xD0\xD6\x20", "\xE4\xB8\xAD"},      // bad second byte
        {"GBK", "UTF-8", "\xD6\xD0\xD6", "\xE4\xB8\xAD"},           // cut off
        {"UTF-16LE", "UTF-8", "a\0\x3D\xD8" "b\0"s, "a"},           // unpaired surrogate
        {"UTF-16LE", "UTF-8", "a\0b"s, "a"},                        // odd length
        {"UTF-8", "ISO-8859-1", "ab\xE2\x82\xAC" "cd", "ab"},        // no € in Latin-1
        {"UTF-8", "UTF-16LE", "x\xFF", "x\0"s},                     // malformed UTF-8
        {"UTF-8", "NO-SUCH-ENCODING", "x", ""},
    };
    for (const auto& c : kCases) {
        std::string out = "stale";
        EXPECT_FALSE(ConvertEncoding(c.in, c.szFrom, c.szTo, &out)) << c.szFrom << " " << c.in;
        EXPECT_EQ(out, c.kept) << c.szFrom << " " << c.in;
    }
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
        {"GB18030", "a\x81\x30\x81\x30", 3, "a"},                       // four-byte character
    };
    for (const auto& c : kCases) {
        if (!kHasGb18030 && IsGb18030(c.codePage)) continue;
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
