// The automation layer that carries values across the library's interface.
#include "tnl/oleauto.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TnlOleAutoTest, BstrHasLengthPrefixAndTerminator) {
    BSTR bstr = SysAllocStringLen(tnl::AsOleText(u"a\0b"), 3);
    ASSERT_NE(bstr, nullptr);
    uint32_t ulPrefix = 0;
    std::memcpy(&ulPrefix, reinterpret_cast<char*>(bstr) - 4, 4);
    EXPECT_EQ(ulPrefix, 6u) << "byte count, as on Windows";
    EXPECT_EQ(SysStringLen(bstr), 3u) << "embedded zeros count";
    EXPECT_EQ(SysStringByteLen(bstr), 6u);
    EXPECT_EQ(bstr[3], 0);
    SysFreeString(bstr);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR bstrText = SysAllocString(tnl::AsOleText(u"text"));
    EXPECT_EQ(SysStringLen(bstrText), 4u);
    SysFreeString(bstrText);
}

TEST(TnlOleAutoTest, ClearFreesNestedArraysAndCopyIsDeep) {
    VARIANT outer, copy;
    VariantInit(&outer);
    VariantInit(&copy);
    outer.vt = VT_ARRAY | VT_VARIANT;
    outer.parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_ARRAY | VT_VARIANT;
    inner.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(tnl::AsOleText(u"host"));
    LONG nIndex = 0;
    ASSERT_EQ(SafeArrayPutElement(inner.parray, &nIndex, &text), S_OK);
    ASSERT_EQ(SafeArrayPutElement(outer.parray, &nIndex, &inner), S_OK);
    VariantClear(&text);
    VariantClear(&inner);

    ASSERT_EQ(VariantCopy(&copy, &outer), S_OK);
    ASSERT_EQ(VariantClear(&outer), S_OK);  // the copy owns its own values
    EXPECT_EQ(outer.vt, VT_EMPTY);
    VARIANT element;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &nIndex, &element), S_OK);
    ASSERT_EQ(element.vt, VT_ARRAY | VT_VARIANT);
    const VARIANT* pText = static_cast<const VARIANT*>(element.parray->pvData);
    EXPECT_EQ(std::u16string(tnl::AsUtf16(pText->bstrVal)), u"host");
    VariantClear(&element);
    nIndex = 1;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &nIndex, &element), S_OK);
    EXPECT_EQ(element.vt, VT_EMPTY) << "new elements are empty";
    EXPECT_EQ(VariantClear(&copy), S_OK);
}

TEST(TnlOleAutoTest, SafeArrayChecksBoundsAndLocks) {
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 5, 3);
    ASSERT_NE(psa, nullptr);
    LONG nLower = 0, nUpper = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &nLower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &nUpper), S_OK);
    EXPECT_EQ(nLower, 5);
    EXPECT_EQ(nUpper, 7);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &nLower), DISP_E_BADINDEX);
    int32_t nValue = 9;
    LONG nIndex = 4;
    EXPECT_EQ(SafeArrayPutElement(psa, &nIndex, &nValue), DISP_E_BADINDEX);
    nIndex = 8;
    EXPECT_EQ(SafeArrayPutElement(psa, &nIndex, &nValue), DISP_E_BADINDEX);
    nIndex = 7;
    EXPECT_EQ(SafeArrayPutElement(psa, &nIndex, &nValue), S_OK);
    void* pData = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &pData), S_OK);
    EXPECT_EQ(static_cast<int32_t*>(pData)[2], 9);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    SAFEARRAY* psaEmpty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    ASSERT_NE(psaEmpty, nullptr);
    EXPECT_EQ(SafeArrayGetUBound(psaEmpty, 1, &nUpper), S_OK);
    EXPECT_EQ(nUpper, -1);
    EXPECT_EQ(SafeArrayDestroy(psaEmpty), S_OK);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
}

}  // namespace
