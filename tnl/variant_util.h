// Conversions between the automation values of the interface and the library's UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tnl/oleauto.h"
#include "tnl/tnl_status.h"

namespace tnl {

// The UTF-16 units of a BSTR, zeros included (null is the empty text).
std::u16string_view BstrUnits(BSTR bstr);
// UTF-8 text of a BSTR (null is the empty text; unpaired surrogates become U+FFFD).
std::string BstrToUtf8(BSTR bstr);

// *out (cleared first) becomes VT_BSTR holding the text.
Status SetTextVariant(std::string_view text, VARIANT* out);

// The value as text: VT_BSTR as it is, integer types (VT_I2, VT_I4, VT_I8, VT_UI2, VT_UI4,
// VT_UI8, VT_INT, VT_UINT) as decimal. False for every other type, one-byte integers included.
bool VariantToText(const VARIANT& value, std::string* text);
bool IsIntegerVariant(const VARIANT& value);
bool IsVariantArray(const VARIANT& value);

// The elements of a one-dimensional VT_ARRAY|VT_VARIANT value, lower bound first. The pointers
// stay valid while the value is not changed. False for another type or shape.
bool GetArrayElements(const VARIANT& value, std::vector<const VARIANT*>* elements);

// Values collected for a VT_ARRAY|VT_VARIANT result; owns them until MoveTo hands them over.
class CVariantList {
  public:
    CVariantList() = default;
    CVariantList(const CVariantList&) = delete;
    CVariantList& operator=(const CVariantList&) = delete;
    ~CVariantList() { Clear(); }

    Status AppendText(std::string_view text);
    void AppendInt(int32_t nValue);
    // Appends the inner list as one VT_ARRAY|VT_VARIANT element; the inner list ends empty.
    Status AppendList(CVariantList* inner);
    // *out (cleared first) becomes VT_ARRAY|VT_VARIANT with the values, lower bound 0; the list
    // ends empty.
    Status MoveTo(VARIANT* out);

    bool Empty() const { return m_values.empty(); }
    void Clear();

  private:
    std::vector<VARIANT> m_values;
};

}  // namespace tnl
