// The certificate package: packages from the writer read back, damaged ones refused with the
// right code, the path conversion and file opening shared with the file digest, and the
// zelvo-cert tool end to end.
#include "package/cert_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "package/md5.h"
#include "package/package_writer.h"
#include "package/path_encoding.h"
#include "platform/codepage.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

const std::vector<CPackageItem> kItems = {{"company.info", "{\"tool_name\": \"T\"}"},
                                          {"logo.ico", std::string(300, '\x7f')},
                                          {"logo.ico", "second"},
                                          {"empty", ""}};

std::string Build(const CPackageKeying& keying, const std::vector<CPackageItem>& items = kItems) {
    std::string strPackage;
    EXPECT_EQ(BuildPackage(keying, items, &strPackage), 0);
    return strPackage;
}

std::string Seal(const std::string& strItems) {
    std::string strPackage;
    EXPECT_EQ(SealPackage(CPackageKeying{"d.example"}, strItems, &strPackage), 0);
    return strPackage;
}

class CertFileTest : public ::testing::Test {
  protected:
    void TearDown() override { platform::RemoveDirectoryTree(m_strDir); }
    std::string Write(const std::string& strName, const std::string& strBytes) {
        const std::string strPath = platform::JoinPath(m_strDir, strName);
        EXPECT_TRUE(platform::WriteFileAtomic(strPath, strBytes));
        return strPath;
    }
    std::string m_strDir = platform::MakeTempDirectory("cert_file_test");
};

TEST_F(CertFileTest, ReadsWhatTheWriterBuiltAndFindsExactNames) {
    for (int nKeyMode : {0, 1}) {
        CertFile cert("default.example", nKeyMode);
        ASSERT_EQ(cert.Read(Write("a.ce", Build({"sealed.example", "", nKeyMode}))), 0);
        EXPECT_EQ(cert.DomainName(), "sealed.example");
        ASSERT_EQ(cert.Items().size(), kItems.size());
        EXPECT_EQ(cert.Items()[1].ullFileSize, 300u);
        std::string strData = "untouched";
        EXPECT_EQ(cert.FindItem("logo.ico", &strData), 0);
        EXPECT_EQ(strData, kItems[1].strData);  // the first of two with that name
        EXPECT_EQ(cert.FindItem("empty", &strData), 0);
        EXPECT_EQ(strData, "");
        strData = "untouched";
        EXPECT_EQ(cert.FindItem("Logo.ico", &strData), -1);
        EXPECT_EQ(cert.FindItem("logo.ic", &strData), -1);
        EXPECT_EQ(strData, "untouched");
    }
}

// A stream of items with the second one's fields changed after encoding.
std::string ItemsWithSecondChanged(size_t nField, uint64_t nValue) {
    std::string strItems = EncodePackageItems({{"one", "1"}, {"two", "22"}, {"three", "333"}});
    const size_t nSecond = kPackageItemInfoSize + 3 + 1;
    for (int i = 0; i < 8; ++i) strItems[nSecond + 8 * nField + i] = char(nValue >> (8 * i));
    return strItems;
}

TEST_F(CertFileTest, DamagedPackagesAreRefusedWithTheirCode) {
    const std::string strGood = Build({"d.example"});
    auto changed = [&](size_t nAt, std::string strBytes) {
        return strGood.substr(0, nAt) + strBytes + strGood.substr(nAt + strBytes.size());
    };
    const struct {
        const char* pszWhat;
        std::string strPackage;
        std::string strDefault;
        int nResult;
        size_t nItems;
    } kCases[] = {
        {"no domain, the default's key", Build({"", "dflt.example"}), "dflt.example", 0, 4},
        {"no domain, another default", Build({"", "dflt.example"}), "other.example", -7, 0},
        {"one payload byte", changed(kPackageHeaderSize + 5, "\x01"), "x", -7, 0},
        {"one digest byte", changed(strGood.size() - 1, "\x01"), "x", -7, 0},
        {"header length 255", changed(16, std::string("\xff\x00", 2)), "x", -7, 0},
        {"header length -1", changed(16, "\xff\xff"), "x", -7, 0},
        {"second item's CRC", Seal(ItemsWithSecondChanged(2, 5)), "x", -7, 1},
        {"CRC high bits set", Seal(ItemsWithSecondChanged(2, 0x100000000ull | 0x2c)), "x", -7, 1},
        {"name past the payload", Seal(ItemsWithSecondChanged(0, 1ull << 62)), "x", -7, 1},
        {"data past the payload", Seal(ItemsWithSecondChanged(1, ~0ull)), "x", -7, 1},
        {"a short record at the end", Seal(EncodePackageItems({{"a", "b"}}) + "tail"), "x", -7, 1},
        {"header and digest only", strGood.substr(0, 272) + strGood.substr(strGood.size() - 32),
         "x", -6, 0},
        {"303 bytes", strGood.substr(0, 303), "x", -1, 0},
        {"empty file", "", "x", -1, 0},
    };
    for (const auto& c : kCases) {
        CertFile cert(c.strDefault);
        EXPECT_EQ(cert.Read(Write("p.ce", c.strPackage)), c.nResult) << c.pszWhat;
        EXPECT_EQ(cert.Items().size(), c.nItems) << c.pszWhat;
    }
}

TEST_F(CertFileTest, EachReadStartsEmptyWithTheDefaultDomain) {
    CertFile cert("default.example");
    const std::string strGood = Write("good.ce", Build({"sealed.example"}));
    ASSERT_EQ(cert.Read(strGood), 0);
    EXPECT_EQ(cert.Read(Write("bad.ce", Seal(ItemsWithSecondChanged(2, 5)))), -7);
    EXPECT_EQ(cert.Items().size(), 1u);
    EXPECT_EQ(cert.Read(platform::JoinPath(m_strDir, "missing.ce")), -1);
    EXPECT_TRUE(cert.Items().empty());
    EXPECT_EQ(cert.DomainName(), "default.example");
    std::string strData = "untouched";
    EXPECT_EQ(cert.FindItem("company.info", &strData), -1);
    ASSERT_EQ(cert.Read(strGood), 0);
    EXPECT_EQ(cert.Items().size(), kItems.size());
}

TEST(PathEncodingTest, DetectsAsciiUtf8AndGbk) {
    const struct {
        std::string strNarrow;
        int nResult;
        std::string strUtf8;  // the expected result as UTF-8
    } kCases[] = {
        {"", 0, ""},
        {"plain/path.ce", 0, "plain/path.ce"},
        {"d\xc3\xa9j\xc3\xa0/\xe4\xb8\xad.ce", 0, "d\xc3\xa9j\xc3\xa0/\xe4\xb8\xad.ce"},
        {"\xd6\xd0\xce\xc4.ce", 0, "\xe4\xb8\xad\xe6\x96\x87.ce"},  // GBK
        {"\xf8\x88\x80\x80\x80", -5, ""},  // five-byte UTF-8 form: nothing in UTF-16
        {"\xc0\xaf", -5, ""},              // shaped as UTF-8, but overlong
        {"caf\xe9", -1, ""},               // Latin-1: a GBK lead byte at the end
        {"\x80x", -1, ""},
        {"\xff\x41", -1, ""},
        {"\x81\x30", -1, ""},  // GBK trail byte too low
    };
    for (const auto& c : kCases) {
        std::u16string strWide = u"stale";
        EXPECT_EQ(NarrowToWidePath(c.strNarrow, &strWide), c.nResult) << c.strNarrow;
        if (c.nResult == 0) {
            EXPECT_EQ(platform::Utf16ToUtf8(strWide), c.strUtf8) << c.strNarrow;
        }
    }
}

// A GBK path names the file whose name is the same text in UTF-8, the way this system names
// files; the reader and the file digest open it the same way.
TEST_F(CertFileTest, NonAsciiPathsOpenTheFileOfTheirText) {
    const std::string strPackage = Build({"d.example"});
    Write("\xe4\xb8\xad\xe6\x96\x87.ce", strPackage);
    CertFile cert("x");
    EXPECT_EQ(cert.Read(platform::JoinPath(m_strDir, "\xe4\xb8\xad\xe6\x96\x87.ce")), 0);
    EXPECT_EQ(cert.Read(platform::JoinPath(m_strDir, "\xd6\xd0\xce\xc4.ce")), 0);
    EXPECT_EQ(cert.Read(platform::JoinPath(m_strDir, "caf\xe9.ce")), -1);
    uint8_t digest[kMd5Size], expected[kMd5Size];
    Md5(strPackage.data(), strPackage.size(), expected);
    ASSERT_EQ(Md5File(platform::JoinPath(m_strDir, "\xd6\xd0\xce\xc4.ce"), digest), 0);
    EXPECT_EQ(memcmp(digest, expected, kMd5Size), 0);
}

TEST_F(CertFileTest, OpenForWritingMakesFoldersAndKeepsContent) {
    namespace fs = std::filesystem;
    const std::string strPath = platform::JoinPath(m_strDir, "new/sub/file.bin");
    const std::u16string strWide = platform::Utf8ToUtf16(strPath);
    int nFd = -1;
    int64_t nSize = -1;
    ASSERT_EQ(OpenFileForIo(strWide, true, &nFd, &nSize), 0);
    platform::CFileStream file;
    file.Attach(nFd);
    EXPECT_EQ(nSize, 0);
    ASSERT_TRUE(file.WriteAll("0123456789", 10));
    file.Close();
#ifndef _WIN32  // Windows files carry no such mode
    EXPECT_EQ(fs::status(strPath).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
    ASSERT_EQ(OpenFileForIo(strWide, true, &nFd, &nSize), 0);  // no truncation
    file.Attach(nFd);
    EXPECT_EQ(nSize, 10);
    ASSERT_TRUE(file.WriteAll("ab", 2));
    file.Close();
    std::string strContent;
    ASSERT_TRUE(platform::ReadFileBytes(strPath, &strContent));
    EXPECT_EQ(strContent, "ab23456789");

    EXPECT_EQ(OpenFileForIo(strWide + u"x", false, &nFd, &nSize), -3);       // missing
    EXPECT_EQ(OpenFileForIo(strWide + u"/under", true, &nFd, nullptr), -2);  // parent is a file
}

// Runs zelvo-cert; returns its exit code, its standard output in *pOutput.
int RunTool(const std::vector<std::string>& args, std::string* pOutput) {
    const int nExit = platform::RunAndCapture({ZELVO_CERT_TOOL, args, {}, {}}, pOutput);
#ifdef _WIN32
    // Text written to the standard output there ends its lines with CR LF.
    for (size_t n; (n = pOutput->find("\r\n")) != std::string::npos;) pOutput->erase(n, 1);
#endif
    return nExit;
}

TEST_F(CertFileTest, ToolPacksListsAndExtracts) {
    const std::string strIn = platform::JoinPath(m_strDir, "in");
    ASSERT_TRUE(platform::CreateDirectories(platform::JoinPath(strIn, "folder")));
    Write("in/b.txt", "bee");
    Write("in/a.bin", std::string("\x00\x01\x02", 3));
    const std::string strPackage = platform::JoinPath(m_strDir, "out.ce");
    std::string strOutput;
    ASSERT_EQ(RunTool({"pack", strIn, "-o", strPackage, "--domain", "t.example"}, &strOutput), 0);
    ASSERT_EQ(RunTool({"list", strPackage}, &strOutput), 0);
    EXPECT_EQ(strOutput, "a.bin\t3\t0854897f\nb.txt\t3\t9140cc69\n");  // name order
    const std::string strOut = platform::JoinPath(m_strDir, "out");
    ASSERT_EQ(RunTool({"extract", strPackage, strOut}, &strOutput), 0);
    std::string strData;
    ASSERT_TRUE(platform::ReadFileBytes(platform::JoinPath(strOut, "a.bin"), &strData));
    EXPECT_EQ(strData, std::string("\x00\x01\x02", 3));
    ASSERT_TRUE(platform::ReadFileBytes(platform::JoinPath(strOut, "b.txt"), &strData));
    EXPECT_EQ(strData, "bee");

    EXPECT_EQ(RunTool({"list", platform::JoinPath(strIn, "b.txt")}, &strOutput), 1);
    EXPECT_EQ(RunTool({"pack", platform::JoinPath(strIn, "folder"), "-o", strPackage}, &strOutput),
              1);
    EXPECT_EQ(RunTool({"pack", strIn}, &strOutput), 2);
    EXPECT_EQ(RunTool({}, &strOutput), 2);
}

TEST(DemoEditionTest, PackageReadsWithTheProgramsDefaultDomain) {
    CertFile cert(ProductWebDomain());
    ASSERT_EQ(cert.Read(ZELVO_DEMO_PACKAGE), 0);
    std::string strData;
    for (const char* pszName :
         {"company.info", "device.info", "tool_title_logo.ico", "tool_desktop_logo.ico"}) {
        EXPECT_EQ(cert.FindItem(pszName, &strData), 0) << pszName;
    }
    EXPECT_EQ(cert.FindItem("default.xml", &strData), -1);
}

}  // namespace
