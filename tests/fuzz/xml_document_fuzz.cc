// The XML document from file bytes: decoding, parsing, saving and loading again, and edits.
//
// Input: an edit script, 0x1F, then the file bytes. Without a 0x1F the whole input is the file
// and nothing is edited. Properties that must hold:
//  - decoded text is UTF-8, and saving it then loading the saved bytes gives the same text
//    (unless the save had to write characters as references), and saving that text again gives
//    the same bytes; a save that is refused gives no bytes;
//  - after every edit that succeeds, a fresh parse of the document's text has the same element
//    tree as the edited document, seen through navigation; an attribute that was set reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "support/xml_document.h"
#include "support/xml_markup.h"
#include "support/xml_parser.h"
#include "support/xml_text_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxEdits = 24;
constexpr size_t kMaxCheckedElements = 200;

// Names and values the edits use; some names are invalid on purpose.
const char* const kNames[] = {
    "", "a", "b", "item", "wifi", "Name", "x:y", "_1", "1bad", "a b", "\xC3\xA9t\xC3\xA9"};
const char* const kValues[] = {"",    "v",     "a<b&c>d", "\"'\t\r\n",
                               "]]>", "&amp;", "x]]>y<",  "\xC3\xBC\xE4\xB8\xAD\xF0\x9F\x98\x80"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];
constexpr size_t kValueCount = sizeof kValues / sizeof kValues[0];

// Saves text as a new file would be saved, loads the bytes again and saves once more.
void CheckSaveLoadSave(const std::string& text, int flags) {
    std::string bytes, result;
    if (xml::EncodeFileText(text, flags, true, &bytes, &result).empty()) {
        // A save that could not read back is refused and must give nothing to write.
        if (!bytes.empty()) ReportViolation("a refused save still gives bytes", "", bytes);
        return;
    }
    const bool bLossy = result.find("<conversion_loss") != std::string::npos;
    std::string reloaded, reloadResult;
    int reloadFlags = 0;
    if (!xml::DecodeFileBytes(bytes, &reloaded, &reloadResult, &reloadFlags)) {
        ReportViolation("saved bytes do not load: " + reloadResult, text, reloaded);
    }
    if (!bLossy && reloaded != text) {
        ReportViolation("text changes through save and load: " + result + reloadResult, text,
                        reloaded);
    }
    std::string again;
    xml::EncodeFileText(reloaded, reloadFlags, true, &again, &result);
    if (again != bytes) {
        ReportViolation("saving the loaded text again gives other bytes", bytes, again);
    }
}

// Positions doc so that StepTo walks the children of the element at path (indices of
// children from the top); an empty path walks the top-level elements.
bool GoTo(XmlDocument& doc, const std::vector<size_t>& path) {
    doc.Rewind();
    for (size_t nDepth = 0; nDepth < path.size(); ++nDepth) {
        for (size_t i = 0; i <= path[nDepth]; ++i) {
            if (!(nDepth == 0 ? doc.FindSibling() : doc.FindChild())) return false;
        }
        if (nDepth > 0 && !doc.EnterElement()) return false;
    }
    return true;
}

bool StepTo(XmlDocument& doc, bool bTop, const std::string& name) {
    return bTop ? doc.FindSibling(name) : doc.FindChild(name);
}

std::string AttributeAt(const XmlDocument& doc, bool bTop, const std::string& name) {
    return bTop ? doc.GetAttribute(name) : doc.GetChildAttribute(name);
}

// The children of the element at path as navigation shows them: their number and the probed
// attributes of each. *pNamesMatch tells whether their names are `names` in that order.
std::string DescribeChildren(XmlDocument& doc, const std::vector<size_t>& path,
                             const std::vector<std::string>& names, bool* pNamesMatch) {
    const bool bTop = path.empty();
    *pNamesMatch = false;
    if (!GoTo(doc, path)) return "path not found";
    size_t nCount = 0;
    while (StepTo(doc, bTop, "")) ++nCount;
    // Each named step moves at least one child on; with exactly names.size() children, all of
    // them succeeding means child i is named names[i].
    *pNamesMatch = nCount == names.size() && GoTo(doc, path);
    for (size_t i = 0; *pNamesMatch && i < names.size(); ++i) {
        *pNamesMatch = StepTo(doc, bTop, names[i]);
    }
    std::string description = std::to_string(nCount) + " children";
    GoTo(doc, path);
    while (StepTo(doc, bTop, "")) {
        description += " {";
        for (const char* szName : kNames) {
            const std::string value = AttributeAt(doc, bTop, szName);
            description += std::to_string(value.size()) + ":" + value + " ";
        }
        description += "}";
    }
    return description;
}

// Compares the edited document with a fresh parse of its text, level by level.
void CheckAgainstFreshParse(const XmlDocument& edited, std::string_view operation) {
    const std::string& text = edited.GetText();
    xml::ElementIndex index;
    std::string result;
    xml::ParseDocument(text, &index, &result);
    XmlDocument fresh;
    fresh.SetText(text);
    XmlDocument probe = edited;  // navigating must not move the edited document's positions

    struct CLevel {
        uint32_t nPos;
        std::vector<size_t> path;
    };
    std::vector<CLevel> pending{{0, {}}};
    for (size_t nChecked = 0; !pending.empty() && nChecked < kMaxCheckedElements; ++nChecked) {
        const CLevel level = pending.back();
        pending.pop_back();
        std::vector<std::string> names;
        for (uint32_t child = index[level.nPos].nFirstChild; child; child = index[child].nNext) {
            std::vector<size_t> childPath = level.path;
            childPath.push_back(names.size());
            pending.push_back({child, childPath});
            names.emplace_back(xml::TagNameAt(text, index[child].nStart));
        }
        bool bFreshNamed = false, bEditedNamed = false;
        const std::string expected = DescribeChildren(fresh, level.path, names, &bFreshNamed);
        const std::string actual = DescribeChildren(probe, level.path, names, &bEditedNamed);
        if (expected != actual || !bFreshNamed || !bEditedNamed) {
            std::string where = "children of /";
            for (size_t nIndex : level.path) where += std::to_string(nIndex) + "/";
            if (!bEditedNamed) where += ", names differ";
            ReportViolation(std::string(operation) +
                                " leaves a tree that a fresh parse does not "
                                "give (" +
                                where + "); document:\n" + text,
                            expected, actual);
        }
    }
}

// Reads the edit script byte by byte; past its end every byte is 0.
class CScript {
  public:
    explicit CScript(std::string_view bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_nNext >= m_bytes.size(); }
    size_t Next() { return AtEnd() ? 0 : static_cast<unsigned char>(m_bytes[m_nNext++]); }
    std::string Name() { return kNames[Next() % kNameCount]; }
    std::string Value() { return kValues[Next() % kValueCount]; }

  private:
    std::string_view m_bytes;
    size_t m_nNext = 0;
};

// Sets an attribute of the current element (or its current child) and reads it back.
std::string SetAttributeStep(XmlDocument& doc, bool bChild, CScript& script) {
    const std::string name = script.Name(), value = script.Value();
    if (!(bChild ? doc.SetChildAttribute(name, value) : doc.SetAttribute(name, value))) return "";
    const std::string stored = bChild ? doc.GetChildAttribute(name) : doc.GetAttribute(name);
    if (stored != value) ReportViolation("a set attribute does not read back", value, stored);
    return std::string(bChild ? "SetChildAttribute(" : "SetAttribute(") + name + ")";
}

std::string InsertStep(XmlDocument& doc, bool bChild, CScript& script) {
    const std::string name = script.Name(), value = script.Value();
    if (!(bChild ? doc.InsertChildElement(name, value) : doc.InsertElement(name, value))) return "";
    return std::string(bChild ? "InsertChildElement(" : "InsertElement(") + name + ")";
}

// One step of the script. Returns the name of an edit that changed the document, else empty.
std::string RunStep(XmlDocument& doc, CScript& script) {
    switch (script.Next() % 9) {
        case 0:
            doc.Rewind();
            return "";
        case 1:
            doc.FindSibling(script.Name());
            return "";
        case 2:
            doc.FindChild(script.Name());
            return "";
        case 3:
            doc.EnterElement();
            return "";
        case 4:
            return SetAttributeStep(doc, false, script);
        case 5:
            return SetAttributeStep(doc, true, script);
        case 6:
            return InsertStep(doc, false, script);
        case 7:
            return InsertStep(doc, true, script);
        default:
            return doc.RemoveElement() ? "RemoveElement" : "";
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = AsText(data, size);
    const size_t nSep = input.find(kFuzzUnitSep);
    const std::string_view editScript = nSep == std::string_view::npos ? "" : input.substr(0, nSep);
    const std::string_view bytes = nSep == std::string_view::npos ? input : input.substr(nSep + 1);

    std::string text, result;
    int flags = 0;
    xml::DecodeFileBytes(bytes, &text, &result, &flags);
    if (!platform::IsValidUtf8(text)) ReportViolation("decoded text is not UTF-8: " + result);

    XmlDocument doc;
    doc.SetText(text);
    doc.SetFlags(flags);
    CheckSaveLoadSave(doc.GetText(), doc.GetFlags());

    CScript script(editScript);
    bool bEdited = false;
    for (size_t i = 0; i < kMaxEdits && !script.AtEnd(); ++i) {
        const std::string edit = RunStep(doc, script);
        if (edit.empty()) continue;
        bEdited = true;
        CheckAgainstFreshParse(doc, edit);
    }
    if (bEdited) CheckSaveLoadSave(doc.GetText(), doc.GetFlags());
    return 0;
}
