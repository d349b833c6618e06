#include "tnl/variant_util.h"

#include <cstring>

#include "platform/codepage.h"

namespace tnl {

std::u16string_view BstrUnits(BSTR bstr) {
    if (bstr == nullptr) return {};
    return std::u16string_view(AsUtf16(bstr), SysStringLen(bstr));
}

std::string BstrToUtf8(BSTR bstr) {
    return platform::Utf16ToUtf8(BstrUnits(bstr));
}

Status SetTextVariant(std::string_view text, VARIANT* out) {
    VariantClear(out);
    std::u16string wide = platform::Utf8ToUtf16(text);
    BSTR bstr = SysAllocStringLen(AsOleText(wide.data()), static_cast<UINT>(wide.size()));
    if (bstr == nullptr) return kOutOfMemory;
    out->vt = VT_BSTR;
    out->bstrVal = bstr;
    return kOk;
}

bool IsIntegerVariant(const VARIANT& value) {
    switch (value.vt) {
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

bool IsVariantArray(const VARIANT& value) {
    return value.vt == (VT_ARRAY | VT_VARIANT) && value.parray != nullptr;
}

bool VariantToText(const VARIANT& value, std::string* text) {
    switch (value.vt) {
        case VT_BSTR:
            *text = BstrToUtf8(value.bstrVal);
            return true;
        case VT_I2:
            *text = std::to_string(value.iVal);
            return true;
        case VT_I4:
            *text = std::to_string(value.lVal);
            return true;
        case VT_INT:
            *text = std::to_string(value.intVal);
            return true;
        case VT_I8:
            *text = std::to_string(value.llVal);
            return true;
        case VT_UI2:
            *text = std::to_string(value.uiVal);
            return true;
        case VT_UI4:
            *text = std::to_string(value.ulVal);
            return true;
        case VT_UINT:
            *text = std::to_string(value.uintVal);
            return true;
        case VT_UI8:
            *text = std::to_string(value.ullVal);
            return true;
        default:
            return false;
    }
}

bool GetArrayElements(const VARIANT& value, std::vector<const VARIANT*>* elements) {
    elements->clear();
    if (!IsVariantArray(value) || SafeArrayGetDim(value.parray) != 1) return false;
    VARTYPE vt = VT_EMPTY;
    if (SafeArrayGetVartype(value.parray, &vt) != S_OK || vt != VT_VARIANT) return false;
    LONG nLower = 0, nUpper = -1;
    SafeArrayGetLBound(value.parray, 1, &nLower);
    SafeArrayGetUBound(value.parray, 1, &nUpper);
    const auto* pData = static_cast<const VARIANT*>(value.parray->pvData);
    for (int64_t i = 0; i <= int64_t{nUpper} - nLower; ++i) elements->push_back(pData + i);
    return true;
}

void CVariantList::Clear() {
    for (VARIANT& value : m_values) VariantClear(&value);
    m_values.clear();
}

Status CVariantList::AppendText(std::string_view text) {
    VARIANT value;
    VariantInit(&value);
    Status status = SetTextVariant(text, &value);
    if (status == kOk) m_values.push_back(value);
    return status;
}

void CVariantList::AppendInt(int32_t nValue) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = nValue;
    m_values.push_back(value);
}

Status CVariantList::AppendList(CVariantList* inner) {
    VARIANT value;
    VariantInit(&value);
    Status status = inner->MoveTo(&value);
    if (status == kOk) m_values.push_back(value);
    return status;
}

Status CVariantList::MoveTo(VARIANT* out) {
    VariantClear(out);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(m_values.size()));
    if (psa == nullptr) return kOutOfMemory;
    // The elements move bitwise: the array now owns what they hold.
    if (!m_values.empty()) {
        std::memcpy(psa->pvData, m_values.data(), m_values.size() * sizeof(VARIANT));
    }
    m_values.clear();
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = psa;
    return kOk;
}

}  // namespace tnl
