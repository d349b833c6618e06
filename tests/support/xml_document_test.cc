#include "support/xml_document.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/codepage.h"
#include "platform/file_system.h"

namespace {

// The "id" attributes of the children of the first root element, read through navigation.
std::string ChildIds(XmlDocument& doc) {
    doc.Rewind();
    std::string ids;
    while (doc.FindChild()) ids += doc.GetChildAttribute("id") + ",";
    return ids;
}

bool HasEvent(const XmlDocument& doc, const std::string& event) {
    return doc.GetResult().find("<" + event) != std::string::npos;
}

// ---- Parsing and well-formedness ----

TEST(XmlParseTest, TwoRootsAreNotWellFormedButBothAreFound) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText("<a id=\"1\"/>\n<b id=\"2\"></b>"));
    EXPECT_TRUE(HasEvent(doc, "root_has_sibling tagname=\"b\""));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("id"), "1");
    ASSERT_TRUE(doc.FindSibling("b"));
    EXPECT_EQ(doc.GetAttribute("id"), "2");
    EXPECT_FALSE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("id"), "2");  // a failed search keeps the position
}

TEST(XmlParseTest, EachProblemIsNamedInTheResult) {
    const struct {
        const char* text;
        const char* event;
    } kCases[] = {
        {"<r></x></r>", "lone_end_tag tagname=\"x\" offset=\"3\""},
        {"<r><a></r>", "unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"6\""},
        {"<r>", "unended_start_tag tagname=\"r\""},
        {"<r><!-- x</r>", "comment_tag_syntax"},
        {"<r><![CDATA[x</r>", "cdata_section_syntax"},
        {"<!DOCTYPE r [<!ELEMENT r ANY>", "doctype_tag_syntax"},
        {"<r><!foo></r>", "exclamation_tag_syntax"},
        {"<r>< a/></r>", "first_tag_syntax"},
        {"<r><a b=\"1></r>", "unterminated_tag_syntax"},
        {"<r><?pi </r>", "unterminated_tag_syntax"},
        {"", "no_root_element"},
        {"just text", "no_root_element"},
    };
    for (const auto& c : kCases) {
        XmlDocument doc;
        EXPECT_FALSE(doc.SetText(c.text)) << c.text;
        EXPECT_TRUE(HasEvent(doc, c.event)) << c.text << " -> " << doc.GetResult();
    }
}

TEST(XmlParseTest, NonElementMarkupCreatesNoElements) {
    XmlDocument doc;
    EXPECT_TRUE(
        doc.SetText("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"<x>\">]><!-- <c id='0'/> -->"
                    "<r><![CDATA[<d id='1'/>]]><e id=\"2\" t=\"a>b\"/><?pi <f/>?></r>"));
    EXPECT_EQ(doc.GetResult(), "");
    EXPECT_EQ(ChildIds(doc), "2,");
}

TEST(XmlParseTest, BrokenNestingStillNavigates) {
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText("<r><a id=\"1\"><b id=\"x\"></r>"));
    EXPECT_TRUE(doc.FindChild("a"));
    EXPECT_EQ(doc.GetChildAttribute("id"), "1");
    EXPECT_FALSE(doc.FindChild());  // b is inside a, not a sibling
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindChild("b"));
    EXPECT_EQ(doc.GetChildAttribute("id"), "x");
}

TEST(XmlParseTest, ResultTextStopsAtTheLimit) {
    std::string text = "<r>";
    for (int i = 0; i < 300; ++i) text += "</lone" + std::to_string(i) + ">";
    text += "</r>";
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(text));
    const std::string& result = doc.GetResult();
    EXPECT_LE(platform::CountCodePoints(result), 1000u);
    EXPECT_GT(result.size(), 900u);
    EXPECT_EQ(result.substr(result.size() - 2), "/>");  // whole entries only
}

// ---- Navigation ----

TEST(XmlNavigationTest, FindChildOnAFreshDocumentTakesTheFirstRootFirst) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<HMISet><Hmi Help_Ch=\"Quillon V2.1.0\"/></HMISet>"));
    ASSERT_TRUE(doc.FindChild("Hmi"));
    EXPECT_EQ(doc.GetChildAttribute("Help_Ch"), "Quillon V2.1.0");
    EXPECT_EQ(doc.GetAttribute("Help_Ch"), "");  // the current element is HMISet
}

TEST(XmlNavigationTest, SiblingSearchMovesForwardOnlyUntilRewind) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r><a id=\"1\"/><b id=\"2\"/><a id=\"3\"/></r>"));
    ASSERT_TRUE(doc.FindSibling("r"));
    ASSERT_TRUE(doc.FindChild("b"));
    ASSERT_TRUE(doc.EnterElement());  // current = b, parent = r
    EXPECT_EQ(doc.GetAttribute("id"), "2");
    ASSERT_TRUE(doc.FindSibling("a"));
    EXPECT_EQ(doc.GetAttribute("id"), "3");
    EXPECT_FALSE(doc.FindSibling("b"));
    doc.Rewind();
    EXPECT_FALSE(doc.FindSibling("a"));  // a is not top-level
    EXPECT_TRUE(doc.FindSibling("r"));
}

TEST(XmlNavigationTest, EnterWithoutChildLeavesNoCurrentElement) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r><a id=\"1\"/><a id=\"2\"/></r>"));
    EXPECT_FALSE(doc.EnterElement());  // nothing current yet
    ASSERT_TRUE(doc.FindSibling());
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute("id"), "");
    EXPECT_FALSE(doc.RemoveElement());
    ASSERT_TRUE(doc.FindSibling());  // the first child of r
    EXPECT_EQ(doc.GetAttribute("id"), "1");
}

// ---- Attributes ----

TEST(XmlAttributeTest, ValuesAreDecoded) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.SetText("<r a = 'x &lt;&amp;&gt; &quot;&apos;' b=\"&#65;&#x4E2D;&bogus;&#0;\" "
                    "c=\"\" d=\"q'\" />"));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("a"), "x <&> \"'");
    EXPECT_EQ(doc.GetAttribute("b"), "A\xE4\xB8\xAD&bogus;&#0;");
    EXPECT_EQ(doc.GetAttribute("c"), "");
    EXPECT_EQ(doc.GetAttribute("d"), "q'");
    EXPECT_EQ(doc.GetAttribute("A"), "");  // names are case-sensitive
    EXPECT_EQ(doc.GetAttribute("missing"), "");
}

TEST(XmlAttributeTest, SetEscapesAndRoundTrips) {
    const std::string value = "a\"b'c<d>&e\nf\tg";
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r><c k='old' z=\"1\"/></r>"));
    ASSERT_TRUE(doc.FindChild("c"));
    ASSERT_TRUE(doc.SetChildAttribute("k", value));
    ASSERT_TRUE(doc.SetChildAttribute("new", "v"));
    EXPECT_EQ(doc.GetChildAttribute("k"), value);
    EXPECT_EQ(doc.GetChildAttribute("z"), "1");
    EXPECT_EQ(doc.GetText(),
              "<r><c k=\"a&quot;b&apos;c&lt;d&gt;&amp;e&#10;f&#9;g\" z=\"1\" new=\"v\"/></r>");
    XmlDocument copy;
    ASSERT_TRUE(copy.SetText(doc.GetText()));
    ASSERT_TRUE(copy.FindChild("c"));
    EXPECT_EQ(copy.GetChildAttribute("k"), value);
}

TEST(XmlAttributeTest, AddingToATagKeepsItsClosingForm) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<HMISet filever = \"1.0\">\n<Hmi />\n<x flag></x>\n</HMISet>"));
    ASSERT_TRUE(doc.FindSibling("HMISet"));
    ASSERT_TRUE(doc.FindChild("Hmi"));
    ASSERT_TRUE(doc.SetChildAttribute("Folder", "C:\\Q\\"));
    ASSERT_TRUE(doc.SetAttribute("filever", "2.0"));
    ASSERT_TRUE(doc.FindChild("x"));
    ASSERT_TRUE(doc.SetChildAttribute("flag", "on"));
    EXPECT_EQ(doc.GetText(),
              "<HMISet filever = \"2.0\">\n<Hmi Folder=\"C:\\Q\\\" />\n<x flag=\"on\"></x>\n"
              "</HMISet>");
    EXPECT_FALSE(doc.SetChildAttribute("bad name", "v"));
    EXPECT_FALSE(doc.SetChildAttribute("", "v"));
}

// ---- Editing ----

TEST(XmlEditTest, InsertChildIntoEmptyAndFilledElements) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r>\n\t<e/>\n\t<f></f>\n\t<g>\n\t\t<x id=\"0\"/>\n\t</g>\n</r>\n"));
    ASSERT_TRUE(doc.FindChild("e"));
    ASSERT_TRUE(doc.EnterElement());  // current e
    ASSERT_TRUE(doc.InsertChildElement("c", ""));
    ASSERT_TRUE(doc.FindSibling("f"));
    ASSERT_TRUE(doc.InsertChildElement("c", "1 > 0"));
    ASSERT_TRUE(doc.FindSibling("g"));
    ASSERT_TRUE(doc.InsertChildElement("c", ""));
    ASSERT_TRUE(doc.SetChildAttribute("id", "1"));
    EXPECT_EQ(doc.GetText(),
              "<r>\n\t<e>\n\t\t<c/>\n\t</e>\n\t<f>\n\t\t<c>1 &gt; 0</c>\n\t</f>\n"
              "\t<g>\n\t\t<x id=\"0\"/>\n\t\t<c id=\"1\"/>\n\t</g>\n</r>\n");
    XmlDocument copy;
    EXPECT_TRUE(copy.SetText(doc.GetText())) << copy.GetResult();
}

TEST(XmlEditTest, InsertElementFollowsTheCurrentElement) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r><a id=\"1\"/><a id=\"3\"/></r>"));
    ASSERT_TRUE(doc.FindChild("a"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.InsertElement("a", ""));
    ASSERT_TRUE(doc.SetAttribute("id", "2"));
    EXPECT_EQ(ChildIds(doc), "1,2,3,");
    // Without a current element the new one goes after the last sibling.
    doc.Rewind();
    ASSERT_TRUE(doc.FindSibling());
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.InsertElement("a", ""));
    ASSERT_TRUE(doc.SetAttribute("id", "4"));
    EXPECT_EQ(ChildIds(doc), "1,2,3,4,");
    EXPECT_FALSE(doc.InsertElement("1bad", ""));
    EXPECT_FALSE(doc.InsertElement("a b", ""));
}

TEST(XmlEditTest, InsertIntoAnEmptyDocumentCreatesTheRoot) {
    XmlDocument doc;
    ASSERT_TRUE(doc.InsertElement("WifiList", ""));
    ASSERT_TRUE(doc.InsertChildElement("wifi", ""));
    ASSERT_TRUE(doc.SetChildAttribute("Name", "n"));
    EXPECT_EQ(doc.GetText(), "<WifiList>\n\t<wifi Name=\"n\"/>\n</WifiList>\n");
    EXPECT_TRUE(doc.ParseText());
}

TEST(XmlEditTest, ContentWithMarkupIsWrittenAsSplitCData) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r/>"));
    ASSERT_TRUE(doc.FindSibling());
    ASSERT_TRUE(doc.InsertChildElement("s", "a]]>b<c&"));
    ASSERT_TRUE(doc.InsertChildElement("t", "]]>"));
    EXPECT_NE(doc.GetText().find("<s><![CDATA[a]]]]><![CDATA[>b<c&]]></s>"), std::string::npos);
    EXPECT_NE(doc.GetText().find("<t>]]&gt;</t>"), std::string::npos);
    XmlDocument copy;
    EXPECT_TRUE(copy.SetText(doc.GetText()));
    EXPECT_EQ(ChildIds(copy), ",,");
}

TEST(XmlEditTest, RemoveFirstLeavesNoCurrentAndLaterMakesPreviousCurrent) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r>\n <a id=\"1\"><x/></a>\n <a id=\"2\"/>\n <a id=\"3\"/>\n</r>"));
    ASSERT_TRUE(doc.FindChild());
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetAttribute("id"), "");
    EXPECT_FALSE(doc.RemoveElement());
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_EQ(doc.GetAttribute("id"), "2");
    ASSERT_TRUE(doc.FindSibling());
    ASSERT_TRUE(doc.RemoveElement());
    EXPECT_EQ(doc.GetAttribute("id"), "2");
    EXPECT_EQ(doc.GetText(), "<r>\n <a id=\"2\"/>\n </r>");
    EXPECT_EQ(ChildIds(doc), "2,");
    EXPECT_TRUE(doc.ParseText());
}

TEST(XmlEditTest, PositionsStayValidAfterEditsElsewhere) {
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText("<r><a id=\"1\"/><b id=\"2\"><c id=\"3\"/></b><d id=\"4\"/></r>"));
    ASSERT_TRUE(doc.FindChild("b"));
    ASSERT_TRUE(doc.EnterElement());  // parent r, current b
    ASSERT_TRUE(doc.FindChild("c"));
    // Grow the text before and inside the held positions.
    ASSERT_TRUE(doc.SetAttribute("long", std::string(5000, 'x')));
    ASSERT_TRUE(doc.SetChildAttribute("more", std::string(3000, 'y')));
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(doc.InsertChildElement("n", std::to_string(i)));
    EXPECT_EQ(doc.GetAttribute("id"), "2");
    ASSERT_TRUE(doc.FindSibling("d"));
    EXPECT_EQ(doc.GetAttribute("id"), "4");
    // Navigation over the edited index agrees with a fresh parse of the same text.
    XmlDocument copy;
    ASSERT_TRUE(copy.SetText(doc.GetText())) << copy.GetResult();
    EXPECT_EQ(ChildIds(copy), ChildIds(doc));
    copy.Rewind();
    ASSERT_TRUE(copy.FindChild("b") && copy.EnterElement());
    int nChildren = 0;
    while (copy.FindChild("n")) ++nChildren;
    EXPECT_EQ(nChildren, 200);
}

// The ids of every element below the current level, nested as in the document.
std::string Tree(XmlDocument doc) {
    std::string out;
    while (doc.FindSibling()) {
        XmlDocument below = doc;
        below.EnterElement();
        out += "[" + doc.GetAttribute("id") + Tree(below) + "]";
    }
    return out;
}

TEST(XmlEditTest, RandomEditsKeepTheIndexEqualToAFreshParse) {
    std::mt19937 rng(20261207);
    int nId = 0;
    for (int nRun = 0; nRun < 40; ++nRun) {
        XmlDocument doc;
        ASSERT_TRUE(
            doc.SetText("<r id=\"r\">\n  <a id=\"a\"/>\n  <b id=\"b\">t<c id='c'/></b>\n</r>"));
        for (int nStep = 0; nStep < 50; ++nStep) {
            const std::string id = std::to_string(++nId);
            const std::string value = nStep % 3 ? "v" + id : "<&\"]]>\n";
            switch (rng() % 9) {
                case 0:
                    doc.Rewind();
                    break;
                case 1:
                    doc.FindSibling();
                    break;
                case 2:
                    doc.FindChild();
                    break;
                case 3:
                    doc.EnterElement();
                    break;
                case 4:
                    doc.RemoveElement();
                    break;
                case 5:
                    doc.SetAttribute("x", value);
                    break;
                case 6:
                    doc.SetChildAttribute("x", value);
                    break;
                case 7:
                    doc.InsertElement("e", value) && doc.SetAttribute("id", id);
                    break;
                default:
                    doc.InsertChildElement("f", "") && doc.SetChildAttribute("id", id);
            }
            XmlDocument fresh, copy = doc;
            fresh.SetText(doc.GetText());
            copy.Rewind();
            ASSERT_EQ(Tree(copy), Tree(fresh)) << doc.GetText();
        }
    }
}

// ---- File modes ----

TEST(XmlFileModeTest, ReadingAndWritingModesRefuseWork) {
    for (int nMode : {XmlDocument::kReadFile, XmlDocument::kWriteFile}) {
        XmlDocument doc;
        ASSERT_TRUE(doc.SetText("<r a=\"1\"><c/></r>"));
        ASSERT_TRUE(doc.FindChild("c"));
        doc.SetFlags(nMode);
        EXPECT_FALSE(doc.SetText("<x/>"));
        EXPECT_FALSE(doc.ParseText());
        EXPECT_FALSE(doc.FindSibling());
        EXPECT_FALSE(doc.FindChild());
        EXPECT_FALSE(doc.EnterElement());
        EXPECT_FALSE(doc.RemoveElement());
        EXPECT_FALSE(doc.SetAttribute("a", "2"));
        EXPECT_FALSE(doc.InsertElement("x", ""));
        EXPECT_FALSE(doc.InsertChildElement("x", ""));
        EXPECT_EQ(doc.GetAttribute("a"), "");
        EXPECT_FALSE(doc.LoadFile("/nonexistent/file.xml"));
        EXPECT_EQ(doc.GetText(), "<r a=\"1\"><c/></r>");
        doc.SetFlags(0);
        EXPECT_EQ(doc.GetAttribute("a"), "1");
    }
}

// ---- Size ----

TEST(XmlSizeTest, LargeDocumentParsesAndNavigates) {
    std::string text = "<?xml version=\"1.0\"?>\n<BOXSet>\n";
    const int kElements = 60000;
    for (int i = 0; i < kElements; ++i) {
        text += "\t<box Type=\"T" + std::to_string(i) +
                "\" SerialNo=\"0123456789\" Kernel=\"4.1\" func=\"7\"><d>x</d></box>\n";
    }
    text += "</BOXSet>\n";
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    int nFound = 0;
    while (doc.FindChild("box")) ++nFound;
    EXPECT_EQ(nFound, kElements);
    EXPECT_EQ(doc.GetChildAttribute("Type"), "T" + std::to_string(kElements - 1));
}

TEST(XmlSizeTest, DeepNestingAndStrayEndTagsStayLinear) {
    // Every stray end tag would search the whole open-element stack if done naively.
    const int kDepth = 100000;
    std::string text;
    for (int i = 0; i < kDepth; ++i) text += "<a>";
    for (int i = 0; i < kDepth; ++i) text += "</b>";
    XmlDocument doc;
    EXPECT_FALSE(doc.SetText(text));
    EXPECT_TRUE(HasEvent(doc, "lone_end_tag tagname=\"b\""));
    ASSERT_TRUE(doc.FindSibling("a"));
    for (int i = 1; i < kDepth; ++i) ASSERT_TRUE(doc.FindChild("a") && doc.EnterElement());
    EXPECT_FALSE(doc.FindChild());
}

}  // namespace
