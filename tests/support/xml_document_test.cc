#include "support/xml_document.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "support/xml_text_file.h"

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
        {"<r></r<>", "unterminated_tag_syntax tagname=\"r\" offset=\"3\""},
        {"<r></r x>", "unterminated_tag_syntax tagname=\"r\""},
        {"<r></ r>", "first_tag_syntax offset=\"3\""},
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

TEST(XmlAttributeTest, SetIsRefusedWhenTheTagWouldNotReadItBack) {
    const struct {
        const char* tag;
        const char* name;
        bool bSet;
    } kCases[] = {
        {"<c a=/>", "x", false},  // x="v" would be read as the value of a
        {"<c a=/>", "a", true},
        {"<c a=\"1\"\" b=\"/>", "x", false},  // a stray quote opens a value up to the new one
        {"<c a=\"1\"\" b=\"/>", "b", false},
        {"<c 'q' x=\"1\"/>", "x", true},
        {"<c flag/>", "flag", true},
    };
    for (const auto& c : kCases) {
        XmlDocument doc;
        doc.SetText(std::string("<r>") + c.tag + "</r>");
        ASSERT_TRUE(doc.FindChild("c"));
        EXPECT_EQ(doc.SetChildAttribute(c.name, "v"), c.bSet) << c.tag << " " << c.name;
        if (!c.bSet) {
            EXPECT_EQ(doc.GetText(), std::string("<r>") + c.tag + "</r>");
            continue;
        }
        XmlDocument fresh;
        fresh.SetText(doc.GetText());
        ASSERT_TRUE(fresh.FindChild("c"));
        EXPECT_EQ(fresh.GetChildAttribute(c.name), "v") << doc.GetText();
    }
}

TEST(XmlAttributeTest, NamesMustFitTheDeclaredEncoding) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>";
    XmlDocument doc;
    ASSERT_TRUE(doc.SetText(text));
    ASSERT_TRUE(doc.FindSibling());
    EXPECT_FALSE(doc.SetAttribute("\xE4\xB8\xAD", "v"));  // would be written as &#x4E2D;
    EXPECT_FALSE(doc.InsertChildElement("\xE4\xB8\xAD", ""));
    EXPECT_EQ(doc.GetText(), text);
    EXPECT_TRUE(doc.SetAttribute("\xC3\xA9", "\xE4\xB8\xAD"));  // values are escaped on saving
    EXPECT_TRUE(doc.InsertChildElement("\xC3\xA9", ""));
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

// The ids and "x" values of every element below the current level, nested as in the document.
std::string Tree(XmlDocument doc) {
    std::string out;
    while (doc.FindSibling()) {
        XmlDocument below = doc;
        below.EnterElement();
        out += "[" + doc.GetAttribute("id") + "=" + doc.GetAttribute("x") + Tree(below) + "]";
    }
    return out;
}

// One step of the edit tests, named by a letter; new elements and values carry the id. After
// it, every attribute that was set reads back and the index describes the text as a fresh parse
// of it does.
void Step(XmlDocument& doc, char op, const std::string& id, const std::string& value) {
    if (op == '0') doc.Rewind();
    if (op == 's') doc.FindSibling();
    if (op == 'c') doc.FindChild();
    if (op == 'e') doc.EnterElement();
    if (op == 'r') doc.RemoveElement();
    const bool bSet = (op == 'a' && doc.SetAttribute("x", value)) ||
                      (op == 'b' && doc.SetChildAttribute("x", value));
    const bool bAdded = (op == 'i' && doc.InsertElement("e", value)) ||
                        (op == 'j' && doc.InsertChildElement("f", ""));
    EXPECT_EQ(bSet ? (op == 'a' ? doc.GetAttribute("x") : doc.GetChildAttribute("x")) : value,
              value);
    EXPECT_TRUE(!bAdded ||
                (op == 'i' ? doc.SetAttribute("id", id) : doc.SetChildAttribute("id", id)));
    XmlDocument fresh, copy = doc;
    fresh.SetText(doc.GetText());
    copy.Rewind();
    EXPECT_EQ(Tree(copy), Tree(fresh)) << op << " -> " << doc.GetText();
    EXPECT_TRUE(platform::IsValidUtf8(doc.GetText())) << doc.GetText();
}

TEST(XmlEditTest, EditsOnBrokenStructureLandWhereAParseFindsThem) {
    const struct {
        const char* source;
        const char* script;
        const char* text;
        const char* ids;  // current and child afterwards
    } kCases[] = {
        // Whatever follows an unended element up to where it is closed belongs to it.
        {"<r id=\"r\"><a id=\"a\"><b id=\"b\"/></r>", "cei",
         "<r id=\"r\"><a id=\"a\"><b id=\"b\"/></r>", "a,"},
        // Removing an unended element takes all it runs over, and nothing outside its parent.
        {"<r id=\"r\">\n <a id=\"a\">\xC3\xA9 \n", "si0cer", "<r id=\"r\">\n ", ","},
        // An unterminated comment would swallow what is added at the end of the text.
        {"<r id=\"r\"><a id=\"a\"/><!-- x", "si", "<r id=\"r\"><a id=\"a\"/><!-- x", "r,"},
        {"<r id=\"r\">t<!-- x", "sj", "<r id=\"r\">\n<f id=\"1\"/>t<!-- x", "r,1"},
        // "</r<>" is no end tag, so r is unended and a new child goes after its start tag.
        {"<r id=\"r\"></r<>", "sj", "<r id=\"r\">\n<f id=\"1\"/></r<>", "r,1"},
        // "<r//>" cannot be opened for a child without changing what else the tag says.
        {"<r id=\"r\"//>", "sj", "<r id=\"r\"//>", "r,"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.source);
        XmlDocument doc;
        doc.SetText(c.source);
        for (size_t i = 0; c.script[i]; ++i) Step(doc, c.script[i], std::to_string(i), "v");
        EXPECT_EQ(doc.GetText(), c.text);
        EXPECT_EQ(doc.GetAttribute("id") + "," + doc.GetChildAttribute("id"), c.ids);
    }
}

// The document saved in every encoding the program writes, then loaded: the same text when the
// encoding holds every character; otherwise the save fails and gives nothing, or the elements and
// their attribute values read back the same.
void ExpectSavedTextReadsBack(const XmlDocument& doc) {
    const struct {
        const char* label;
        int nFlags;
    } kWritten[] = {{"", 0},       {"UTF-8", XmlDocument::kUtf8Bom},
                    {"UTF-16", 0}, {"UTF-16BE", 0},
                    {"gb2312", 0}, {"ISO-8859-1", 0},
                    {"UTF-7", 0},  {"shift_jis", 0}};
    for (const auto& w : kWritten) {
        const std::string decl =
            *w.label ? std::string("<?xml version=\"1.0\" encoding=\"") + w.label + "\"?>" : "";
        const std::string text = decl + doc.GetText();
        std::string bytes, result, loadedText;
        int nFlags = 0;
        const bool bSaved = !xml::EncodeFileText(text, w.nFlags, true, &bytes, &result).empty();
        EXPECT_TRUE(xml::DecodeFileBytes(bytes, &loadedText, &result, &nFlags));
        XmlDocument saved, loaded;
        saved.SetText(text);
        loaded.SetText(loadedText);
        if (xml::DeclaredEncodingHolds(text, text)) {
            EXPECT_TRUE(bSaved) << w.label << ": " << text;
            EXPECT_EQ(loadedText, text) << w.label;
        } else if (!bSaved) {
            EXPECT_EQ(bytes, "") << w.label;
        } else {
            EXPECT_EQ(Tree(loaded), Tree(saved)) << w.label << ": " << text;
        }
    }
}

TEST(XmlEditTest, RandomEditsKeepTheIndexEqualToAFreshParse) {
    const char* const kSources[] = {
        "<r id=\"r\">\n  <a id=\"a\"/>\n  <b id=\"b\">t<c id='c'/></b>\n</r>",
        "<r id=\"r\">\n  <a id=\"a\">\n  <b id=\"b\">t<c id='c'/></b>\n</r>",
        "<r id=\"r\"><a id=\"a\"/></x>\n<b id=\"b\">\xE4\xB8\xAD</b></r> \xC3\xA9",
        "<r id=\"r\">\n <b id=\"b\"></r<>\n<c id=\"c\"/>",
        "<r id=\"r\"><c id=\"c\" a=/><d id=\"d\" a=\"1\"\" b=\"/></r>",
        "<r id=\"r\"/>\n<s id=\"s\"><t id=\"t\"/></s>\xC3\xA9",
        "<r id=\"r\">\xC3\xA9<a id=\"a\">\xE4\xB8\xAD\n<!-- x",
    };
    std::mt19937 rng(20261207);
    int nId = 0;
    for (const char* source : kSources) {
        SCOPED_TRACE(source);
        for (int nRun = 0; nRun < 20; ++nRun) {
            XmlDocument doc;
            doc.SetText(source);
            for (int nStep = 0; nStep < 40 && !testing::Test::HasFailure(); ++nStep) {
                const std::string id = std::to_string(++nId);
                // Markup characters, and characters that some written encodings lack: é, €,
                // 中, the GBK-only 丂, ソ whose Shift_JIS trail byte is '\', an emoji.
                const std::string kValues[] = {
                    "<&\"]]>\n+~\\", "v" + id,
                    "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xE4\xB8\x82\xE3\x82\xBD\xF0\x9F\x98\x80" + id};
                Step(doc, "0scerabij"[rng() % 9], id, kValues[nStep % 3]);
            }
            ExpectSavedTextReadsBack(doc);
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
