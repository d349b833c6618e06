#include "support/xml_text_file.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "support/xml_document.h"

namespace {

bool HasEvent(const XmlDocument& doc, const std::string& event) {
    return doc.GetResult().find("<" + event) != std::string::npos;
}

// ---- Files and encodings ----

class XmlFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strDir = platform::MakeTempDirectory("zelvo_xml_");
        ASSERT_FALSE(m_strDir.empty());
        platform::SetLegacyCodePage("CP1252");
    }
    void TearDown() override { platform::RemoveDirectoryTree(m_strDir); }

    std::string Path(const std::string& name) const { return platform::JoinPath(m_strDir, name); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        EXPECT_TRUE(platform::WriteFileAtomic(Path(name), bytes));
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::string bytes;
        EXPECT_TRUE(platform::ReadFileBytes(Path(name), &bytes));
        return bytes;
    }

    std::string m_strDir;
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kCafe = "<r n=\"caf\xC3\xA9 \xE4\xB8\xAD\"/>\n";  // "café 中" in UTF-8

std::string Utf16(const std::string& utf8, bool bBigEndian) {
    std::string bytes;
    for (char16_t u : platform::Utf8ToUtf16(utf8)) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += bBigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

TEST_F(XmlFileTest, Utf8MarkIsReadAndWrittenBack) {
    XmlDocument plain, marked;
    ASSERT_TRUE(plain.LoadFile(Write("plain.xml", kCafe)));
    ASSERT_TRUE(marked.LoadFile(Write("marked.xml", kBom + kCafe)));
    EXPECT_EQ(marked.GetText(), plain.GetText());
    EXPECT_EQ(marked.GetText(), kCafe);
    EXPECT_EQ(marked.GetFlags(), XmlDocument::kUtf8Bom);
    EXPECT_EQ(plain.GetFlags(), 0);
    ASSERT_TRUE(marked.SaveFile(Path("marked_out.xml")));
    ASSERT_TRUE(plain.SaveFile(Path("plain_out.xml")));
    EXPECT_EQ(Read("marked_out.xml"), kBom + kCafe);
    EXPECT_EQ(Read("plain_out.xml"), kCafe);
    EXPECT_TRUE(HasEvent(marked, "write encoding=\"UTF-8\""));
    // Text that itself starts with U+FEFF keeps it behind a mark of its own.
    XmlDocument doubled;
    ASSERT_TRUE(doubled.LoadFile(Write("doubled.xml", kBom + kBom + kCafe)));
    ASSERT_TRUE(doubled.SetText(kBom + kCafe) && doubled.SaveFile(Path("doubled_out.xml")));
    ASSERT_TRUE(doubled.SetText(kBom + kCafe));
    doubled.SetFlags(0);
    ASSERT_TRUE(doubled.SaveFile(Path("unmarked_out.xml")));
    EXPECT_EQ(Read("doubled_out.xml"), kBom + kBom + kCafe);
    EXPECT_EQ(Read("unmarked_out.xml"), kBom + kBom + kCafe);
}

TEST_F(XmlFileTest, UndeclaredLegacyBytesAreReadInTheAnsiCodePageAndSavedAsUtf8) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("ansi.xml", "<r n=\"caf\xE9\"/>")));
    EXPECT_TRUE(HasEvent(doc, "utf8_detection encoding=\"ANSI\""));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("n"), "caf\xC3\xA9");
    ASSERT_TRUE(doc.SaveFile(Path("out.xml")));
    EXPECT_EQ(Read("out.xml"), "<r n=\"caf\xC3\xA9\"/>");
}

TEST_F(XmlFileTest, DeclaredUtf8AndUndeclaredTextAreSavedAsUtf8) {
    const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n" + kCafe;
    for (const std::string& text : {declared, kCafe}) {
        XmlDocument doc;
        ASSERT_TRUE(doc.SetText(text));
        ASSERT_TRUE(doc.SaveFile(Path("out.xml")));
        EXPECT_EQ(Read("out.xml"), text);
        EXPECT_EQ(doc.GetFlags(), 0);  // the writing mode is cleared again
    }
}

TEST_F(XmlFileTest, Utf16FilesKeepTheirByteOrder) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + kCafe;
    for (bool bBigEndian : {false, true}) {
        const std::string bom = bBigEndian ? "\xFE\xFF" : "\xFF\xFE";
        XmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(Write("u16.xml", bom + Utf16(text, bBigEndian))));
        EXPECT_EQ(doc.GetText(), text);
        EXPECT_EQ(doc.GetFlags(), bBigEndian ? XmlDocument::kUtf16Be : XmlDocument::kUtf16Le);
        EXPECT_EQ(HasEvent(doc, "endian_swap"), bBigEndian);
        ASSERT_TRUE(doc.SaveFile(Path("u16_out.xml")));
        EXPECT_EQ(Read("u16_out.xml"), bom + Utf16(text, bBigEndian));
    }
}

TEST_F(XmlFileTest, Utf16WithoutMarkAndNullsAreHandled) {
    XmlDocument doc;
    for (const std::string text :
         {"<r a=\"1\"/>", "\r\n<r>\xE4\xB8\xAD</r>", " <r>\xE4\xB8\xAD</r>"}) {
        for (bool bBigEndian : {false, true}) {
            ASSERT_TRUE(doc.LoadFile(Write("u16.xml", Utf16(text, bBigEndian)))) << bBigEndian;
            EXPECT_EQ(doc.GetText(), text) << bBigEndian;
        }
    }
    ASSERT_TRUE(doc.LoadFile(Write("nulls.xml", std::string("<r a=\"1\"/>\0\0", 12))));
    EXPECT_EQ(doc.GetText(), "<r a=\"1\"/>");
    EXPECT_TRUE(HasEvent(doc, "nulls_removed count=\"2\""));
}

TEST_F(XmlFileTest, DeclaredLegacyEncodingRoundTripsWithReferencesForMissingCharacters) {
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r n=\"caf\xE9\"/>";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("latin.xml", bytes)));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("n"), "caf\xC3\xA9");
    ASSERT_TRUE(doc.SaveFile(Path("same.xml")));
    EXPECT_EQ(Read("same.xml"), bytes);
    ASSERT_TRUE(doc.SetAttribute("n", "\xE4\xB8\xAD\xC3\xA9"));  // "中é"
    ASSERT_TRUE(doc.SaveFile(Path("lossy.xml")));
    EXPECT_TRUE(HasEvent(doc, "conversion_loss"));
    EXPECT_NE(Read("lossy.xml").find("n=\"&#x4E2D;\xE9\""), std::string::npos);
    XmlDocument back;
    ASSERT_TRUE(back.LoadFile(Path("lossy.xml")));
    ASSERT_TRUE(back.FindSibling());
    EXPECT_EQ(back.GetAttribute("n"), "\xE4\xB8\xAD\xC3\xA9");
}

// Declared names are read and written in the code page that Windows uses for them, which holds
// characters that the standard encoding of that name lacks.
TEST_F(XmlFileTest, DeclaredNamesUseTheWindowsCodePage) {
    const struct {
        const char* label;
        std::string bytes;
        std::string utf8;
    } kCases[] = {
        {"gb2312", "\x81\x47", "\xE4\xB8\x9F"},              // GBK-only
        {"GB2312", "\xB0\xE6", "\xE7\x89\x88"},              // also in GB2312
        {"iso-8859-1", "\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},  // "€é"
        {"latin1", "\x80", "\xE2\x82\xAC"},
        {"us-ascii", "\x80", "\xE2\x82\xAC"},
        {"tis-620", "\x80", "\xE2\x82\xAC"},
        {"shift_jis", "\x87\x40", "\xE2\x91\xA0"},  // NEC row 13
        {"euc-kr", "\x81\x41", "\xEA\xB0\x82"},     // unified Hangul
        {"ks_c_5601-1987", "\x81\x41", "\xEA\xB0\x82"},
    };
    for (const auto& c : kCases) {
        const std::string decl =
            std::string("<?xml version=\"1.0\" encoding=\"") + c.label + "\"?>";
        XmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(Write("in.xml", decl + "<r n=\"" + c.bytes + "\"/>"))) << c.label;
        EXPECT_EQ(doc.GetText(), decl + "<r n=\"" + c.utf8 + "\"/>") << c.label;
        ASSERT_TRUE(doc.SaveFile(Path("out.xml"))) << c.label;
        EXPECT_EQ(Read("out.xml"), decl + "<r n=\"" + c.bytes + "\"/>") << c.label;
    }
}

TEST(XmlEncodingTest, DeclaredEncodingHoldsAName) {
    const std::string latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>";
    const std::string gb = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r/>";
    const struct {
        std::string text;
        std::string name;
        bool bHolds;
    } kCases[] = {
        {latin, "\xE2\x82\xAC", true},  // "€" through code page 1252
        {latin, "\xE4\xB8\xAD", false},
        {gb, "\xE4\xB8\x9F", true},  // GBK-only
        {gb, "\xF0\x9D\x84\x9E", false},
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r/>", "\xE4\xB8\xAD", true},
        {"<?xml version=\"1.0\" encoding=\"utf-7\"?><r/>", "\xE4\xB8\xAD", true},
        {"<?xml version=\"1.0\" encoding=\"no-such-code\"?><r/>", "\xE4\xB8\xAD", true},
        {"<r/>", "\xE4\xB8\xAD", true},
        {"<html><head><meta charset=\"us-ascii\"></head></html>", "\xE4\xB8\xAD", false},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(xml::DeclaredEncodingHolds(c.text, c.name), c.bHolds) << c.text << " " << c.name;
    }
}

// A character the declared encoding lacks is written as a reference in text and attribute
// values (splitting a CDATA section around it); anywhere else the save fails and keeps the file.
TEST_F(XmlFileTest, MissingCharactersAreReferencedOnlyWhereXmlAllowsIt) {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    const std::string zhong = "\xE4\xB8\xAD";  // not in ISO-8859-1
    const struct {
        std::string body;
        std::string written;  // empty when the save must fail
    } kCases[] = {
        {"<r>" + zhong + "</r>", "<r>&#x4E2D;</r>"},
        {"<r a=\"" + zhong + "\"/>", "<r a=\"&#x4E2D;\"/>"},
        {"<r><![CDATA[<" + zhong + ">]]></r>", "<r><![CDATA[<]]>&#x4E2D;<![CDATA[>]]></r>"},
        {"<" + zhong + "/>", ""},
        {"<r " + zhong + "=\"1\"/>", ""},
        {"<r a=\"1\" " + zhong + "/>", ""},
        {"<r/><!--" + zhong + "-->", ""},
        {"<?pi " + zhong + "?><r/>", ""},
        {"<!DOCTYPE r [<!ENTITY e \"" + zhong + "\">]><r/>", ""},
        {"<r>" + zhong + "</r " + zhong + ">", ""},
    };
    for (const auto& c : kCases) {
        XmlDocument doc;
        doc.SetText(decl + c.body);
        Write("out.xml", "old");
        EXPECT_EQ(doc.SaveFile(Path("out.xml")), !c.written.empty()) << c.body;
        EXPECT_EQ(Read("out.xml"), c.written.empty() ? "old" : decl + c.written) << c.body;
        EXPECT_TRUE(HasEvent(doc, "conversion_loss")) << c.body;
    }
}

// A file's encoding is what its first 1024 bytes as stored declare; saving keeps to that rule.
TEST_F(XmlFileTest, StoredBytesShowTheirDeclarationWithinTheFirst1024Bytes) {
    const std::string meta = "<meta charset=\"GB2312\">";
    const std::string smile = "\xF0\x9F\x98\x80";  // not in GB2312: a 9-byte reference
    std::string zhong, smiles, pad(1100, ' ');
    for (int i = 0; i < 400; ++i) zhong += "\xE4\xB8\xAD";  // 1200 bytes, 800 in GB2312
    for (int i = 0; i < 150; ++i) smiles += smile;          // 600 bytes, 1350 as references
    const auto page = [&](const std::string& title) {
        return "<html><head><title>" + title + "</title>" + meta + "</head><body/></html>";
    };
    const struct {
        std::string text;
        const char* encoding;  // written; nullptr when the save must fail
    } kCases[] = {
        {page(zhong), "CP936"},   // declared within the window of the GB2312 bytes
        {page(smiles), nullptr},  // references push the declaration out
        {"<html><head><!--" + pad + "-->" + meta + "</head></html>", "UTF-8"},
    };
    for (const auto& c : kCases) {
        XmlDocument doc, back;
        doc.SetText(c.text);
        Write("page.html", "old");
        ASSERT_EQ(doc.SaveFile(Path("page.html")), c.encoding != nullptr) << doc.GetResult();
        if (c.encoding == nullptr) {
            EXPECT_EQ(Read("page.html"), "old");
            continue;
        }
        EXPECT_TRUE(HasEvent(doc, std::string("write encoding=\"") + c.encoding));
        back.LoadFile(Path("page.html"));
        EXPECT_EQ(back.GetText(), c.text) << c.encoding;
    }
}

// Every form the writer produces reads back as the same text.
TEST_F(XmlFileTest, EveryWrittenEncodingReadsBackAsTheSameText) {
    const std::string body =
        "<r a=\"+1 ~\\ &amp;\">\xE4\xB8\xAD-\xF0\x9F\x98\x80<![CDATA[<>]]><!--c--></r>";
    const struct {
        const char* label;
        int nFlags;
        std::string prefix;  // what the file starts with
    } kCases[] = {
        {"UTF-16", 0, "\xFF\xFE<\0?\0"},
        {"UTF-16", XmlDocument::kUtf16Be, "\xFE\xFF\0<\0?"},
        {"UTF-16BE", 0, "\xFE\xFF\0<\0?"},
        {"UTF-16LE", XmlDocument::kUtf16Be, "\xFF\xFE<\0?\0"},
        {"utf-7", 0, "<?xml version=\"1.0\" encoding=\"utf-7\"?><r a=\"+-1 +AH4AXA-"},
    };
    for (const auto& c : kCases) {
        const std::string text =
            std::string("<?xml version=\"1.0\" encoding=\"") + c.label + "\"?>" + body;
        XmlDocument doc, back;
        doc.SetText(text);
        doc.SetFlags(c.nFlags);
        ASSERT_TRUE(doc.SaveFile(Path("out.xml"))) << c.label;
        EXPECT_EQ(Read("out.xml").substr(0, c.prefix.size()), c.prefix) << c.label;
        EXPECT_TRUE(back.LoadFile(Path("out.xml"))) << c.label << back.GetResult();
        EXPECT_EQ(back.GetText(), text) << c.label;
    }
}

TEST_F(XmlFileTest, UnknownOrUnconvertibleEncodingsDoNotLoseText) {
    XmlDocument doc;
    const std::string bogus = "<?xml version=\"1.0\" encoding=\"no-such-code\"?><r n=\"x\"/>";
    ASSERT_TRUE(doc.LoadFile(Write("bogus.xml", bogus)));
    EXPECT_EQ(doc.GetText(), bogus);
    ASSERT_TRUE(doc.SaveFile(Path("bogus_out.xml")));
    EXPECT_EQ(Read("bogus_out.xml"), bogus);
    // Bytes that are not valid in the declared encoding: the load fails, nothing is guessed.
    EXPECT_FALSE(doc.LoadFile(Write("sjis.xml",
                                    "<?xml version=\"1.0\" encoding=\"SHIFT_JIS\"?>"
                                    "<r n=\"\x81\"/>")));
    EXPECT_TRUE(HasEvent(doc, "truncation_error")) << doc.GetResult();
}

TEST_F(XmlFileTest, HtmlMetaCharsetIsTheDeclaredEncoding) {
    EXPECT_EQ(xml::FindDeclaredEncoding(
                  "<!DOCTYPE html><html><!-- <meta charset=x> --><head><title>t</title>"
                  "<meta http-equiv=\"content-type\" content=\"text/html; charset=GB2312\">"
                  "</head></html>"),
              "GB2312");
    EXPECT_EQ(xml::FindDeclaredEncoding("<html><head><meta charset='windows-1252'/></head>"),
              "windows-1252");
    EXPECT_EQ(xml::FindDeclaredEncoding("<html><body><meta charset=\"x\"></body></html>"), "");
    EXPECT_EQ(xml::FindDeclaredEncoding("<?xml version='1.0' encoding = 'gbk' ?><r/>"), "gbk");
    EXPECT_EQ(xml::FindDeclaredEncoding("<r encoding=\"x\"/>"), "");
    EXPECT_EQ(xml::FindDeclaredEncoding("<?xml version=\"1.0\"?><html><head>"
                                        "<meta charset=\"gbk\"/></head></html>"),
              "gbk");
    const std::string latin =
        "<html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=ISO-8859-1\"/></head><body>\xE9</body>"
        "</html>";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("page.html", latin)));
    EXPECT_NE(doc.GetText().find("<body>\xC3\xA9</body>"), std::string::npos);
}

TEST_F(XmlFileTest, MissingFileAndAppendMode) {
    XmlDocument doc;
    EXPECT_FALSE(doc.LoadFile(Path("missing.xml")));
    EXPECT_TRUE(HasEvent(doc, "file_error"));
    EXPECT_EQ(doc.GetFlags(), 0);
    ASSERT_TRUE(doc.SetText("<r/>\n"));
    doc.SetFlags(XmlDocument::kAppendFile | XmlDocument::kUtf8Bom);
    ASSERT_TRUE(doc.SaveFile(Path("log.xml")));
    EXPECT_EQ(doc.GetFlags(), XmlDocument::kUtf8Bom);
    doc.SetFlags(XmlDocument::kAppendFile | XmlDocument::kUtf8Bom);
    ASSERT_TRUE(doc.SaveFile(Path("log.xml")));
    EXPECT_EQ(Read("log.xml"), kBom + "<r/>\n<r/>\n");  // the mark only on the empty file
    EXPECT_FALSE(doc.SaveFile(Path("no/such/dir/x.xml")));
    EXPECT_TRUE(HasEvent(doc, "file_error"));
}

// ---- The program's own documents ----

TEST_F(XmlFileTest, ConfigurationTemplateIsFilledAndSaved) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- box page profile -->\r\n<KorixSet>\r\n";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(
        Write("Default.xml", head + "  <BaseSet URL2=\"http://a/\" Lang=\"en\"/>\r\n"
                                    "  <Net IP=\"0.0.0.0\"></Net>\r\n</KorixSet>\r\n")));
    ASSERT_TRUE(doc.FindSibling("KorixSet") && doc.FindChild("Net"));
    EXPECT_TRUE(doc.SetChildAttribute("IP", "192.168.1.5"));
    EXPECT_TRUE(doc.SetChildAttribute("Mask", "255.255.255.0"));
    EXPECT_FALSE(doc.FindChild("Missing"));
    doc.Rewind();
    ASSERT_TRUE(doc.FindChild("BaseSet"));
    EXPECT_TRUE(doc.SetChildAttribute("Lang", "\xE4\xB8\xAD"));
    ASSERT_TRUE(doc.SaveFile(Path("setup.xml")));

    EXPECT_EQ(Read("setup.xml").substr(0, head.size()), head);
    XmlDocument setup;
    ASSERT_TRUE(setup.LoadFile(Path("setup.xml")));
    ASSERT_TRUE(setup.FindSibling("KorixSet") && setup.FindChild("BaseSet"));
    EXPECT_EQ(setup.GetChildAttribute("URL2"), "http://a/");
    EXPECT_EQ(setup.GetChildAttribute("Lang"), "\xE4\xB8\xAD");
    ASSERT_TRUE(setup.FindChild("Net"));
    EXPECT_EQ(setup.GetChildAttribute("IP"), "192.168.1.5");
    EXPECT_EQ(setup.GetChildAttribute("Mask"), "255.255.255.0");
    EXPECT_FALSE(setup.FindChild());
}

TEST_F(XmlFileTest, ReleaseLogInALegacyEncoding) {
    // "丟版本 V3.0.1" as written on Windows: "丟" is in GBK but not in GB2312.
    const std::string bytes =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><HMISet><Hmi "
        "Help_Ch=\"\x81\x47\xB0\xE6\xB1\xBE "
        "V3.0.1\"/></HMISet>";
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("ReleaseLog.log", bytes))) << doc.GetResult();
    ASSERT_TRUE(doc.FindSibling("HMISet") && doc.FindChild("Hmi"));
    EXPECT_EQ(doc.GetChildAttribute("Help_Ch"), "\xE4\xB8\x9F\xE7\x89\x88\xE6\x9C\xAC V3.0.1");
}

}  // namespace
