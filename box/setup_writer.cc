#include "box/setup_writer.h"

#include <vector>

#include "support/settings.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "support/xml_document.h"

namespace {

// Fields terminated by the separator; a trailing unterminated piece is dropped.
std::vector<std::string> SplitTerminatedFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t sep; (sep = text.find(kFieldSeparator, start)) != std::string::npos;
         start = sep + 1) {
        fields.push_back(text.substr(start, sep - start));
    }
    return fields;
}

void ApplyField(XmlDocument& doc, const std::string& element, const std::string& attribute,
                const std::string& value) {
    doc.Rewind();
    if (!doc.FindSibling() || !doc.FindChild(element)) return;
    doc.SetChildAttribute(attribute, value);
}

}  // namespace

std::string GetLocalSetupPath() {
    return platform::JoinPath(platform::GetProgramDirectory(), "setup.xml");
}

int WriteSetupFromPage(const std::string& strFields) {
    if (strFields.empty()) return -1;
    XmlDocument doc;
    const std::string templatePath = platform::JoinPath(
        platform::JoinPath(platform::GetProgramDirectory(), "html"), "Default.xml");
    if (!doc.LoadFile(templatePath)) return -1;
    const std::vector<std::string> fields = SplitTerminatedFields(strFields);
    if (fields.size() % 3 != 0) return -1;
    for (size_t i = 0; i < fields.size(); i += 3) {
        ApplyField(doc, fields[i], fields[i + 1], fields[i + 2]);
    }
    // A failed save is a failure: the caller would otherwise send a stale file to the box.
    return doc.SaveFile(GetLocalSetupPath()) ? 0 : -1;
}
