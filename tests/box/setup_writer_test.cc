#include "box/setup_writer.h"

#include <gtest/gtest.h>

#include "support/xml_document.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

const std::string kSep = "\x02";

class SetupWriterTest : public ::testing::Test {
protected:
    SetupWriterTest() {
        dir.WriteFile("html/Default.xml",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KorixSet>\n"
                      "  <Net Ip=\"1.1.1.1\" Mask=\"255.0.0.0\"><Wifi Ip=\"0\"/></Net>\n"
                      "  <Wifi Ssid=\"old\"/>\n</KorixSet>\n");
    }
    // Attribute of the first child element of the saved file's root.
    std::string SavedAttribute(const std::string& element, const std::string& attribute) {
        XmlDocument doc;
        EXPECT_TRUE(doc.LoadFile(dir.PathOf("setup.xml")));
        EXPECT_TRUE(doc.FindSibling());
        EXPECT_TRUE(doc.FindChild(element));
        return doc.GetChildAttribute(attribute);
    }
    CTempProgramDir dir;
};

TEST_F(SetupWriterTest, CompleteTripletsSetTheirAttributesAndSave) {
    const std::string text = "Net" + kSep + "Ip" + kSep + "10.0.0.2" + kSep + "Wifi" + kSep +
                             "Ssid" + kSep + "Plant <A&B>" + kSep;
    EXPECT_EQ(WriteSetupFromPage(text), 0);
    EXPECT_EQ(SavedAttribute("Net", "Ip"), "10.0.0.2");
    EXPECT_EQ(SavedAttribute("Net", "Mask"), "255.0.0.0");
    EXPECT_EQ(SavedAttribute("Wifi", "Ssid"), "Plant <A&B>");
    // Only children of the root are addressed: the nested Wifi keeps its value.
    EXPECT_NE(dir.ReadFile("setup.xml").find("<Wifi Ip=\"0\"/>"), std::string::npos);
}

TEST_F(SetupWriterTest, TrailingTextWithoutSeparatorIsIgnored) {
    EXPECT_EQ(WriteSetupFromPage("Net" + kSep + "Ip" + kSep + "9.9.9.9" + kSep + "junk"), 0);
    EXPECT_EQ(SavedAttribute("Net", "Ip"), "9.9.9.9");
}

TEST_F(SetupWriterTest, UnknownElementChangesNothingButSaves) {
    EXPECT_EQ(WriteSetupFromPage("Nope" + kSep + "a" + kSep + "b" + kSep), 0);
    EXPECT_EQ(dir.ReadFile("setup.xml").find("Nope"), std::string::npos);
    EXPECT_EQ(SavedAttribute("Net", "Ip"), "1.1.1.1");
}

TEST_F(SetupWriterTest, IncompleteEmptyOrTemplatelessInputWritesNothing) {
    EXPECT_EQ(WriteSetupFromPage("Net" + kSep + "Ip" + kSep + "10.0.0.3"), -1);
    EXPECT_EQ(WriteSetupFromPage(""), -1);
    EXPECT_FALSE(dir.Exists("setup.xml"));
    dir.WriteFile("html/Default.xml", "");
    EXPECT_EQ(WriteSetupFromPage("Net" + kSep + "Ip" + kSep + "1" + kSep), -1);
    EXPECT_FALSE(dir.Exists("setup.xml"));
}

TEST_F(SetupWriterTest, AFailedSaveIsReportedAsAFailure) {
    dir.WriteFile("setup.xml/blocker", "x");  // a directory where the file should go
    EXPECT_EQ(WriteSetupFromPage("Net" + kSep + "Ip" + kSep + "1" + kSep), -1);
}

}  // namespace
