#include "tunnel/tnl_value.h"

#include <utility>

#include "platform/codepage.h"
#include "tnl/tnl.h"

namespace {

BSTR MakeBstr(const std::string& strText) {
    const std::u16string wide = platform::Utf8ToUtf16(strText);
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                             static_cast<UINT>(wide.size()));
}

// Moves the value into element i of a VT_VARIANT array (the array takes a copy).
void PutElement(SAFEARRAY* psa, LONG i, CTnlValue& value) {
    SafeArrayPutElement(psa, &i, value.Get());
}

}  // namespace

CTnlValue::CTnlValue(CTnlValue&& other) noexcept : m_value(other.m_value) {
    VariantInit(&other.m_value);
}

CTnlValue& CTnlValue::operator=(CTnlValue&& other) noexcept {
    if (this != &other) {
        VariantClear(&m_value);
        m_value = other.m_value;
        VariantInit(&other.m_value);
    }
    return *this;
}

CTnlValue CTnlValue::Text(const std::string& strText) {
    CTnlValue value;
    value.m_value.vt = VT_BSTR;
    value.m_value.bstrVal = MakeBstr(strText);
    return value;
}

CTnlValue CTnlValue::Number(VARTYPE vt, int nValue) {
    CTnlValue value;
    value.m_value.vt = vt;
    if (vt == VT_INT) {
        value.m_value.intVal = nValue;
    } else {
        value.m_value.lVal = nValue;
    }
    return value;
}

CTnlValue CTnlValue::TextArrays(const std::vector<std::vector<std::string>>& entries) {
    CTnlValue value;
    SAFEARRAY* psaOuter = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(entries.size()));
    if (psaOuter == nullptr) return value;
    for (size_t i = 0; i < entries.size(); ++i) {
        CTnlValue entry;
        entry.m_value.parray =
            SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(entries[i].size()));
        if (entry.m_value.parray != nullptr) entry.m_value.vt = VT_ARRAY | VT_VARIANT;
        for (size_t j = 0; entry.m_value.parray != nullptr && j < entries[i].size(); ++j) {
            CTnlValue text = Text(entries[i][j]);
            PutElement(entry.m_value.parray, static_cast<LONG>(j), text);
        }
        PutElement(psaOuter, static_cast<LONG>(i), entry);
    }
    value.m_value.vt = VT_ARRAY | VT_VARIANT;
    value.m_value.parray = psaOuter;
    return value;
}

std::string CTnlValue::AsText() const {
    if (m_value.vt != VT_BSTR || m_value.bstrVal == nullptr) return {};
    return platform::Utf16ToUtf8(std::u16string_view(
        reinterpret_cast<const char16_t*>(m_value.bstrVal), SysStringLen(m_value.bstrVal)));
}

bool ConnectTunnelService() {
    CTnlValue server = CTnlValue::Text(".");
    return tnl_ConnectService(server.Get()) != 0;
}

std::vector<int> ListConnectionIds() {
    std::vector<int> ids;
    CTnlValue list;
    if (!tnl_GetConnectionsList(list.Get())) return ids;
    const VARIANT& value = *list;
    if (value.vt != (VT_ARRAY | VT_VARIANT) || value.parray == nullptr) return ids;
    LONG nLower = 0, nUpper = -1;
    SafeArrayGetLBound(value.parray, 1, &nLower);
    SafeArrayGetUBound(value.parray, 1, &nUpper);
    for (LONG i = nLower; i <= nUpper; ++i) {
        CTnlValue element;
        if (SafeArrayGetElement(value.parray, &i, element.Get()) != S_OK) break;
        if ((*element).vt == VT_I4) ids.push_back((*element).lVal);
    }
    return ids;
}

bool ReadTextParam(int nId, const std::string& strName, std::string* pValue) {
    CTnlValue name = CTnlValue::Text(strName);
    CTnlValue value;
    if (!tnl_GetParam(nId, name.Get(), value.Get()) || (*value).vt != VT_BSTR) return false;
    *pValue = value.AsText();
    return true;
}

std::vector<std::string> ListedPortNames() {
    std::vector<std::string> names;
    for (const int nId : ListConnectionIds()) {
        std::string strName;
        if (!ReadTextParam(nId, "port.name", &strName)) break;
        names.push_back(std::move(strName));
    }
    return names;
}
