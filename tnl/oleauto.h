/* The automation values that cross the tnl interface: VARIANT, BSTR and SAFEARRAY.
 *
 * On Windows these are the platform's own types and functions. Elsewhere this header declares a
 * small compatible layer with the same names, type tags, layout rules and ownership rules:
 *  - a BSTR points at UTF-16 text preceded by a 32-bit byte count and followed by a zero unit;
 *    a null BSTR is the empty text;
 *  - whoever receives a VARIANT owns it and frees it with VariantClear, which also frees the
 *    BSTR or SAFEARRAY it holds (array elements recursively);
 *  - a VARIANT must be initialised with VariantInit before it is first cleared or filled.
 * The layer is a static library (tnl_oleauto) so that both the tnl library and its callers
 * link their own copy; memory comes from the C heap, so a value made by one copy can be freed
 * by the other. */
#ifndef TNL_OLEAUTO_H_
#define TNL_OLEAUTO_H_

#ifdef _WIN32

/* clang-format off: the system header needs windows.h first */
#include <windows.h>
#include <oleauto.h>
/* clang-format on */

#else

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef uint16_t WORD;
typedef int32_t HRESULT;
typedef uint32_t UINT;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef uint16_t VARTYPE;

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000D)

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000
};

typedef struct tagSAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
} SAFEARRAYBOUND;

/* Only one-dimensional arrays are made by this layer; rgsabound holds cDims bounds. */
typedef struct tagSAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;

#define FADF_BSTR 0x0100
#define FADF_VARIANT 0x0800

typedef struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        int64_t llVal;
        int32_t lVal;
        uint8_t bVal;
        int16_t iVal;
        float fltVal;
        double dblVal;
        int16_t boolVal;
        HRESULT scode;
        BSTR bstrVal;
        SAFEARRAY* parray;
        char cVal;
        uint16_t uiVal;
        uint32_t ulVal;
        uint64_t ullVal;
        int32_t intVal;
        uint32_t uintVal;
        void* byref;
    };
} VARIANT;

typedef VARIANT VARIANTARG;

void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
/* Deep copy; pvargDest is cleared first. */
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);

/* A zero-terminated text; null gives null. */
BSTR SysAllocString(const OLECHAR* psz);
/* ui units from pch (zeros included), or ui uninitialised units when pch is null. */
BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui);
void SysFreeString(BSTR bstrString);
/* Length in UTF-16 units, from the prefix; 0 for null. */
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

/* A vector of cElements elements of type vt (VT_VARIANT, VT_BSTR, VT_I4 ...), all zero
 * (empty variants, null texts). Null on allocation failure or an unsupported type. */
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
/* Frees the array and what its elements own. */
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
UINT SafeArrayGetDim(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
/* Copies of one element in and out (deep copies for VARIANT and BSTR elements). */
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
/* Direct access to the element storage; the array cannot be destroyed while accessed. */
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

#ifdef __cplusplus
}
#endif

#endif /* _WIN32 */

#ifdef __cplusplus
/* OLECHAR is a 16-bit UTF-16 unit everywhere, but its C++ type differs: wchar_t on Windows,
 * char16_t in the layer above. C++ code converts between it and char16_t text here only. */
static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLECHAR is one UTF-16 unit");

namespace tnl {

inline const OLECHAR* AsOleText(const char16_t* psz) {
    return reinterpret_cast<const OLECHAR*>(psz);
}

inline const char16_t* AsUtf16(const OLECHAR* psz) {
    return reinterpret_cast<const char16_t*>(psz);
}

}  // namespace tnl
#endif /* __cplusplus */

#endif /* TNL_OLEAUTO_H_ */
