#include "platform/profile.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/codepage.h"
#include "platform/file_system.h"

namespace platform {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";
const std::string kChinese = "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE7\xAC\xA6";  // 中文字符

class ProfileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strDir = MakeTempDirectory("zelvo_ini_");
        ASSERT_FALSE(m_strDir.empty());
        m_strPath = JoinPath(m_strDir, "SoftLang.ini");
    }
    void TearDown() override { RemoveDirectoryTree(m_strDir); }

    void Store(std::string_view content) { ASSERT_TRUE(WriteFileAtomic(m_strPath, content)); }
    std::string Stored() const {
        std::string data;
        EXPECT_TRUE(ReadFileBytes(m_strPath, &data));
        return data;
    }
    std::string Str(const std::string& section, const std::string& key, size_t nSize = 260) {
        return GetProfileString(section, key, "dflt", nSize, m_strPath);
    }
    std::string StrA(const std::string& section, const std::string& key, size_t nSize = 260) {
        return GetProfileStringA(section, key, "dflt", nSize, m_strPath);
    }
    int Int(const std::string& key) { return GetProfileInt("HMI", key, 77, m_strPath); }

    std::string m_strDir;
    std::string m_strPath;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Str("HMI", "lang"), "dflt");
    EXPECT_EQ(StrA("HMI", "lang"), "dflt");
    EXPECT_EQ(Int("lang"), 77);
    Store("");
    EXPECT_EQ(Str("HMI", "lang"), "dflt");
    Store("lang=top\n[Other]\nlang=other\n[HMI]\nname=x\n");
    EXPECT_EQ(Str("HMI", "lang"), "dflt");  // keys outside the section do not count
    EXPECT_EQ(Str("None", "lang"), "dflt");
    EXPECT_EQ(GetProfileString("HMI", "lang", "ab  ", 260, m_strPath), "ab");
}

TEST_F(ProfileTest, SectionAndKeyNamesIgnoreCase) {
    Store("[hmi]\nLanguage=en\n");
    EXPECT_EQ(Str("HMI", "language"), "en");
    EXPECT_EQ(StrA("Hmi", "LANGUAGE"), "en");
}

TEST_F(ProfileTest, ValuesLoseBlanksAndOnePairOfMatchingQuotes) {
    Store(
        "[HMI]\r\n"
        "  a  =  spaced value \t\r\n"
        "b=\"quoted \"\r\n"
        "c='x\"\r\n"
        "d=\"\"twice\"\"\r\n"
        "e=\r\n"
        "; f=comment\r\n"
        "f\r\n");
    EXPECT_EQ(Str("HMI", "a"), "spaced value");
    EXPECT_EQ(Str("HMI", "b"), "quoted ");
    EXPECT_EQ(Str("HMI", "c"), "'x\"");
    EXPECT_EQ(Str("HMI", "d"), "\"twice\"");
    EXPECT_EQ(Str("HMI", "e"), "");  // present but empty: not the default
    EXPECT_EQ(Str("HMI", "; f"), "dflt");
    EXPECT_EQ(Str("HMI", "f"), "dflt");
}

TEST_F(ProfileTest, StringsAreCutToTheBufferSizeMinusOne) {
    Store("[HMI]\nname=" + kChinese + "\nascii=abcdef\n");
    EXPECT_EQ(Str("HMI", "name", 3), "\xE4\xB8\xAD\xE6\x96\x87");  // two code points
    EXPECT_EQ(Str("HMI", "name", 5), kChinese);
    EXPECT_EQ(StrA("HMI", "name", 4), "\xE4\xB8\xAD");  // three bytes
    EXPECT_EQ(StrA("HMI", "name", 3), "");  // never part of a character
    EXPECT_EQ(StrA("HMI", "ascii", 4), "abc");
    EXPECT_EQ(Str("HMI", "ascii", 1), "");
    EXPECT_EQ(Str("HMI", "ascii", 0), "");
    EXPECT_EQ(Str("HMI", "missing", 3), "df");
}

TEST_F(ProfileTest, IntegersComeFromTheLeadingDigits) {
    Store("[HMI]\na=12abc\nb=abc\nc=-3\nd=+7\ne=\nf=  \"42\"  \ng=99999999999\nh=-\n");
    EXPECT_EQ(Int("a"), 12);
    EXPECT_EQ(Int("b"), 0);
    EXPECT_EQ(Int("c"), -3);
    EXPECT_EQ(Int("d"), 7);
    EXPECT_EQ(Int("e"), 77);
    EXPECT_EQ(Int("f"), 42);
    EXPECT_EQ(Int("g"), 2147483647);
    EXPECT_EQ(Int("h"), 0);
    EXPECT_EQ(Int("missing"), 77);
}

TEST_F(ProfileTest, LegacyBytesReadRawByTheNarrowFormAndReplacedByTheWideForm) {
    Store("[HMI]\r\nname=\xD6\xD0\xCE\xC4\r\n");  // 中文 in GBK
    const std::string saved = GetLegacyCodePage();
    SetLegacyCodePage("GBK");
    EXPECT_EQ(StrA("HMI", "name"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(AnsiToUtf8(StrA("HMI", "name")), "\xE4\xB8\xAD\xE6\x96\x87");
    SetLegacyCodePage(saved);
    EXPECT_EQ(Str("HMI", "name"), kFffd + kFffd + kFffd + kFffd);
}

TEST_F(ProfileTest, Utf16FileWithByteOrderMarkIsReadAndWrittenAsUtf16) {
    std::string utf16("\xFF\xFE", 2);
    for (char16_t c : Utf8ToUtf16("[HMI]\r\nname=" + kChinese + "\r\n")) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    Store(utf16);
    EXPECT_EQ(Str("hmi", "NAME"), kChinese);
    ASSERT_TRUE(WriteProfileString("HMI", "lang", "zh", m_strPath));
    EXPECT_EQ(Str("HMI", "lang"), "zh");
    EXPECT_EQ(Str("HMI", "name"), kChinese);
    EXPECT_EQ(Stored().substr(0, 2), "\xFF\xFE");
}

TEST_F(ProfileTest, Utf8ByteOrderMarkIsNotPartOfTheFirstSectionAndIsKept) {
    Store("\xEF\xBB\xBF[HMI]\nlang=en\n");
    EXPECT_EQ(Str("HMI", "lang"), "en");
    ASSERT_TRUE(WriteProfileString("HMI", "lang", "zh", m_strPath));
    EXPECT_EQ(Stored(), "\xEF\xBB\xBF[HMI]\nlang=zh\n");
}

TEST_F(ProfileTest, WriteCreatesAMissingFileWithSectionAndKey) {
    ASSERT_TRUE(WriteProfileString("HMI", "lang", "en", m_strPath));
    EXPECT_EQ(Stored(), "[HMI]\r\nlang=en\r\n");
    ASSERT_TRUE(WriteProfileString("HMI", "name", kChinese, m_strPath));
    EXPECT_EQ(Str("HMI", "name"), kChinese);
    EXPECT_EQ(Str("HMI", "lang"), "en");
}

TEST_F(ProfileTest, UpdateChangesOneValueAndKeepsEveryOtherByte) {
    const std::string before =
        "; settings\r\n[HMI]\r\n  Lang = en ; note\r\n\r\n;tail\r\n[Net]\r\nlang=x\r\n";
    Store(before);
    ASSERT_TRUE(WriteProfileString("hmi", "LANG", "zh", m_strPath));
    EXPECT_EQ(Stored(), "; settings\r\n[HMI]\r\n  Lang = zh\r\n\r\n;tail\r\n[Net]\r\nlang=x\r\n");
    ASSERT_TRUE(WriteProfileString("HMI", "Lang", "zh", m_strPath));  // unchanged value
    EXPECT_EQ(Str("Net", "lang"), "x");
}

TEST_F(ProfileTest, NewKeysGoToTheSectionEndAndNewSectionsToTheFileEnd) {
    Store("[HMI]\nlang=en\n\n; net part\n[Net]\nport=1\n[Last]\nx=1");
    ASSERT_TRUE(WriteProfileString("HMI", "name", "box", m_strPath));
    ASSERT_TRUE(WriteProfileString("Last", "y", "2", m_strPath));
    ASSERT_TRUE(WriteProfileString("Com", "baud", "9600", m_strPath));
    EXPECT_EQ(Stored(),
              "[HMI]\nlang=en\nname=box\n\n; net part\n[Net]\nport=1\n[Last]\nx=1\ny=2\n"
              "[Com]\nbaud=9600\n");
}

TEST_F(ProfileTest, WriteRefusesLineBreaksAndUnreadableTargets) {
    Store("[HMI]\nlang=en\n");
    EXPECT_FALSE(WriteProfileString("HMI", "lang", "en\n[Evil]\nx=1", m_strPath));
    EXPECT_FALSE(WriteProfileString("HMI", "a=b", "1", m_strPath));
    EXPECT_FALSE(WriteProfileString("HMI", "", "1", m_strPath));
    EXPECT_EQ(Stored(), "[HMI]\nlang=en\n");
    const std::string dirPath = JoinPath(m_strDir, "dir.ini");
    ASSERT_TRUE(CreateDirectories(dirPath));
    EXPECT_FALSE(WriteProfileString("HMI", "lang", "en", dirPath));
    EXPECT_TRUE(DirectoryExists(dirPath));
}

TEST_F(ProfileTest, EveryWriteThatSucceedsReadsBackAndKeepsTheOtherValues) {
    const struct {
        std::string before;
        std::string section;
        std::string key;
        std::string after;
    } kCases[] = {
        // A bare CR ending the file is no line break: the new key must not join "lang".
        {"[HMI]\r\nlang=en\r", "HMI", "name", "[HMI]\r\nlang=en\r\nname=x\r\n"},
        {"[HMI]\r\nlang=en\r", "Net", "name", "[HMI]\r\nlang=en\r\n[Net]\r\nname=x\r\n"},
        {"[HMI]\nlang=en", "HMI", "name", "[HMI]\nlang=en\nname=x\n"},
        // Names are stored as the reader sees them, so a second write finds the first.
        {"[HMI]\nlang=en\n", " HMI ", " name\t", "[HMI]\nlang=en\nname=x\n"},
        {"[HMI]\nlang=en\nname=y\n", "HMI", "  name", "[HMI]\nlang=en\nname=x\n"},
    };
    for (const auto& c : kCases) {
        Store(c.before);
        ASSERT_TRUE(WriteProfileString(c.section, c.key, "x", m_strPath)) << c.before;
        ASSERT_TRUE(WriteProfileString(c.section, c.key, "x", m_strPath)) << c.before;
        EXPECT_EQ(Stored(), c.after) << c.before;
        EXPECT_EQ(Str(c.section, c.key), "x");
        EXPECT_EQ(Str("HMI", "lang"), "en");
    }
    // A last line whose value ends in CR keeps that CR when a key is added after it.
    Store("[HMI]\nlang=en\r\r");
    const std::string lang = Str("HMI", "lang");
    ASSERT_TRUE(WriteProfileString("HMI", "name", "x", m_strPath));
    EXPECT_EQ(Stored(), "[HMI]\nlang=en\r\r\nname=x\n");
    EXPECT_EQ(Str("HMI", "lang"), lang);
}

TEST_F(ProfileTest, KeysThatWouldReadAsCommentsOrSectionsAreRefused) {
    Store("[HMI]\nlang=en\n");
    for (const char* key : {";x", " ;x", "[x", "[x]", "  "}) {
        EXPECT_FALSE(WriteProfileString("HMI", key, "1", m_strPath)) << key;
    }
    EXPECT_EQ(Stored(), "[HMI]\nlang=en\n");
}

TEST_F(ProfileTest, WritesLeaveNoTempFileAndConcurrentWritersLoseNothing) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
                EXPECT_TRUE(WriteProfileString("HMI", key, std::to_string(i), m_strPath));
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(GetProfileInt("HMI", "k" + std::to_string(t) + "_" + std::to_string(i), -1,
                                    m_strPath),
                      i);
        }
    }
    std::vector<std::string> names;
    ASSERT_TRUE(ListDirectory(m_strDir, &names));
    EXPECT_EQ(names.size(), 3u);  // ".", ".." and the settings file
}

}  // namespace
}  // namespace platform
