#include "tnl/param_model.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "platform/codepage.h"
#include "tnl/variant_util.h"
#include "tnl/xml_util.h"

namespace tnl {

extern const unsigned char kSchemaResource[];
extern const size_t kSchemaResourceSize;

namespace {

constexpr size_t kByteOrderMarkSize = 3;

EValueType ValueTypeOf(std::string_view text) {
    if (text == "int") return EValueType::kInt;
    if (text == "string") return EValueType::kString;
    if (text == "array") return EValueType::kArray;
    return EValueType::kOther;
}

EDataType DataTypeOf(std::string_view text) {
    if (text == "tag") return EDataType::kTag;
    if (text == "attribute") return EDataType::kAttribute;
    if (text == "array") return EDataType::kArray;
    return EDataType::kOther;
}

std::string DocumentPath(const ParamInfo& info) {
    return "connection/" + info.strPath;
}

// The connection type is stored as a word; every other int as its decimal text.
int32_t IntFromText(const ParamInfo& info, const std::string& strText) {
    if (info.strPath == "type") {
        if (strText == "SERVER") return TNL_TYPE_SERVER;
        if (strText == "CLIENT") return TNL_TYPE_CLIENT;
        if (strText == "UDP") return TNL_TYPE_UDP;
    }
    return ReadLeadingInt(strText);
}

bool IsPassword(const ParamInfo& info) {
    return info.strPath == "security/auth/pwd" || info.strPath == "proxy/auth/pwd";
}

// The text of a tag or attribute parameter; kNotFound when its place is missing.
Status ReadScalar(const pugi::xml_document& doc, const ParamInfo& info, std::string* text) {
    if (info.eDataType == EDataType::kTag) {
        pugi::xml_node node = SelectPath(doc, DocumentPath(info));
        if (!node) return kNotFound;
        *text = NodeText(node);
        return kOk;
    }
    std::string strPath = DocumentPath(info);
    std::string_view elementPath, attributeName;
    SplitLastStep(strPath, &elementPath, &attributeName);
    pugi::xml_attribute attribute =
        SelectPath(doc, elementPath).attribute(std::string(attributeName).c_str());
    if (!attribute) return kNotFound;
    *text = attribute.value();
    return kOk;
}

Status ReadEntry(const pugi::xml_node& entry, const ParamInfo& info, CVariantList* values) {
    for (const std::string& strField : info.fields) {
        pugi::xml_attribute attribute = entry.attribute(strField.c_str());
        if (!attribute) return kNotFound;
        Status status = values->AppendText(attribute.value());
        if (status != kOk) return status;
    }
    return kOk;
}

Status ReadArray(const pugi::xml_document& doc, const ParamInfo& info, VARIANT* value) {
    std::string strPath = DocumentPath(info);
    std::string_view parentPath, entryName;
    SplitLastStep(strPath, &parentPath, &entryName);
    pugi::xml_node parent = SelectPath(doc, parentPath);
    if (!parent) return kNotFound;
    CVariantList entries;
    std::string strEntryName(entryName);  // the range below keeps a pointer to it
    for (pugi::xml_node entry : parent.children(strEntryName.c_str())) {
        CVariantList values;
        Status status = ReadEntry(entry, info, &values);
        if (status == kOk) status = entries.AppendList(&values);
        if (status != kOk) return status;
    }
    return entries.Empty() ? kOk : entries.MoveTo(value);
}

Status WriteEntry(pugi::xml_node parent, std::string_view entryName, const ParamInfo& info,
                  const VARIANT& entry) {
    std::vector<const VARIANT*> values;
    if (!GetArrayElements(entry, &values) || values.size() != info.fields.size()) {
        return kInvalidParameter;
    }
    pugi::xml_node node = parent.append_child(std::string(entryName).c_str());
    if (!node) return kXmlFailure;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string strText;
        if (!VariantToText(*values[i], &strText)) return kInvalidParameter;
        node.append_attribute(info.fields[i].c_str()).set_value(strText.c_str());
    }
    return kOk;
}

Status WriteArray(pugi::xml_document* doc, const ParamInfo& info, const VARIANT& value) {
    std::vector<const VARIANT*> entries;
    if (!GetArrayElements(value, &entries)) return kInvalidParameter;
    std::string strPath = DocumentPath(info);
    std::string_view parentPath, entryName;
    SplitLastStep(strPath, &parentPath, &entryName);
    pugi::xml_node parent = SelectPath(*doc, parentPath);
    if (!parent) return kNotFound;
    std::string strEntryName(entryName);
    while (pugi::xml_node old = parent.child(strEntryName.c_str())) parent.remove_child(old);
    for (const VARIANT* entry : entries) {
        Status status = WriteEntry(parent, entryName, info, *entry);
        if (status != kOk) return status;
    }
    return kOk;
}

// The value of a tag or attribute parameter as the text to store.
Status ScalarText(const ParamInfo& info, const VARIANT& value, std::string* text) {
    if (info.eValueType == EValueType::kInt) {
        return IsIntegerVariant(value) && VariantToText(value, text) ? kOk : kInvalidParameter;
    }
    if (info.eValueType != EValueType::kString || value.vt != VT_BSTR) return kInvalidParameter;
    // A password is encoded from the caller's units as they are: a trip through UTF-8 would turn
    // a lone surrogate into U+FFFD first.
    *text = IsPassword(info) ? EncodePassword(BstrUnits(value.bstrVal)) : BstrToUtf8(value.bstrVal);
    return kOk;
}

Status WriteScalar(pugi::xml_document* doc, const ParamInfo& info, const std::string& strText) {
    std::string strPath = DocumentPath(info);
    if (info.eDataType == EDataType::kTag) {
        pugi::xml_node node = EnsurePath(*doc, strPath);
        return node && SetNodeText(node, strText) ? kOk : kXmlFailure;
    }
    std::string_view elementPath, attributeName;
    SplitLastStep(strPath, &elementPath, &attributeName);
    pugi::xml_node node = EnsurePath(*doc, elementPath);
    if (!node) return kXmlFailure;
    std::string strName(attributeName);
    pugi::xml_attribute attribute = node.attribute(strName.c_str());
    if (!attribute) attribute = node.append_attribute(strName.c_str());
    return attribute.set_value(strText.c_str()) ? kOk : kXmlFailure;
}

bool IsArrayParam(const ParamInfo& info) {
    return info.eDataType == EDataType::kArray && info.eValueType == EValueType::kArray;
}

bool IsScalarParam(const ParamInfo& info) {
    return (info.eDataType == EDataType::kTag || info.eDataType == EDataType::kAttribute) &&
           (info.eValueType == EValueType::kInt || info.eValueType == EValueType::kString);
}

}  // namespace

std::string ParamNameToPath(std::string_view name) {
    std::string strPath(name);
    for (char& c : strPath) {
        if (c == '.') c = '/';
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return strPath;
}

std::string EncodePassword(std::u16string_view text) {
    std::string strEncoded;
    for (char16_t unit : text) {
        char szDigits[3];
        std::snprintf(szDigits, sizeof(szDigits), "%02X", static_cast<unsigned>(~unit & 0xFF));
        strEncoded += szDigits;
    }
    return strEncoded;
}

int32_t ReadLeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool bNegative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int64_t nValue = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        nValue = nValue * 10 + (text[i] - '0');
        if (nValue > int64_t{INT32_MAX} + 1) break;
    }
    if (bNegative) nValue = -nValue;
    if (nValue > INT32_MAX) return INT32_MAX;
    if (nValue < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(nValue);
}

Status CParamSchema::Load() {
    auto pDoc = std::make_unique<pugi::xml_document>();
    if (kSchemaResourceSize < kByteOrderMarkSize) return kNotFound;
    // The first three bytes are the byte-order mark; the rest is the schema's text.
    std::string_view text(reinterpret_cast<const char*>(kSchemaResource) + kByteOrderMarkSize,
                          kSchemaResourceSize - kByteOrderMarkSize);
    Status status = ParseXml(platform::AnsiToUtf8(text), pDoc.get());
    if (status != kOk) return status;
    m_pDoc = std::move(pDoc);
    return kOk;
}

Status CParamSchema::Lookup(std::string_view name, ParamInfo* info) const {
    if (!m_pDoc) return kInvalidParameter;
    std::string strPath = ParamNameToPath(name);
    pugi::xml_node node = SelectPath(*m_pDoc, "tag/" + strPath);
    pugi::xml_attribute valueType = node.attribute("value_type");
    pugi::xml_attribute dataType = node.attribute("data_type");
    if (!node || !valueType || !dataType) return kInvalidParameter;
    info->strPath = strPath;
    info->eValueType = ValueTypeOf(valueType.value());
    info->eDataType = DataTypeOf(dataType.value());
    info->fields.clear();
    for (pugi::xml_node field : node.children()) {
        if (field.type() == pugi::node_element) info->fields.push_back(field.name());
    }
    return kOk;
}

Status ReadParam(const ParamInfo& info, const std::string& document, VARIANT* value) {
    VariantClear(value);
    pugi::xml_document doc;
    Status status = ParseXml(document, &doc);
    if (status != kOk) return status;
    if (IsArrayParam(info)) return ReadArray(doc, info, value);
    if (!IsScalarParam(info)) return kInvalidParameter;
    std::string strText;
    status = ReadScalar(doc, info, &strText);
    if (status != kOk) return status;
    if (info.eValueType == EValueType::kString) return SetTextVariant(strText, value);
    value->vt = VT_I4;
    value->lVal = IntFromText(info, strText);
    return kOk;
}

Status WriteParam(const ParamInfo& info, const std::string& document, const VARIANT& value,
                  std::string* newDocument) {
    pugi::xml_document doc;
    Status status = ParseXml(document, &doc);
    if (status != kOk) return status;
    if (IsArrayParam(info)) {
        if (!IsVariantArray(value)) return kInvalidParameter;
        status = WriteArray(&doc, info, value);
    } else if (IsScalarParam(info)) {
        std::string strText;
        status = ScalarText(info, value, &strText);
        if (status == kOk) status = WriteScalar(&doc, info, strText);
    } else {
        status = kInvalidParameter;
    }
    if (status == kOk) *newDocument = SerializeDocument(doc);
    return status;
}

}  // namespace tnl
