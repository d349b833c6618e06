/* The automation layer for systems without one (see oleauto.h). */
#ifndef _WIN32

#include "tnl/oleauto.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

/* A BSTR's allocation: the byte count, the units, a zero unit. */
typedef struct {
    uint32_t ulByteLen;
    OLECHAR szText[];
} BstrBlock;

/* A safe array's allocation: the element type is kept in front of the public descriptor, as the
 * platform's own implementation does. */
typedef struct {
    VARTYPE vt;
    SAFEARRAY sa;
} SafeArrayBlock;

static BstrBlock* BlockOfBstr(BSTR bstr) {
    return (BstrBlock*)((char*)bstr - offsetof(BstrBlock, szText));
}

static SafeArrayBlock* BlockOfArray(SAFEARRAY* psa) {
    return (SafeArrayBlock*)((char*)psa - offsetof(SafeArrayBlock, sa));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui) {
    if (ui > (UINT32_MAX - sizeof(BstrBlock)) / sizeof(OLECHAR) - 1) return NULL;
    BstrBlock* pBlock = malloc(sizeof(BstrBlock) + ((size_t)ui + 1) * sizeof(OLECHAR));
    if (pBlock == NULL) return NULL;
    pBlock->ulByteLen = ui * (uint32_t)sizeof(OLECHAR);
    if (pch != NULL && ui > 0) memcpy(pBlock->szText, pch, (size_t)ui * sizeof(OLECHAR));
    pBlock->szText[ui] = 0;
    return pBlock->szText;
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == NULL) return NULL;
    UINT ui = 0;
    while (psz[ui] != 0) ++ui;
    return SysAllocStringLen(psz, ui);
}

void SysFreeString(BSTR bstrString) {
    if (bstrString != NULL) free(BlockOfBstr(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
    return bstr == NULL ? 0 : BlockOfBstr(bstr)->ulByteLen;
}

UINT SysStringLen(BSTR bstr) {
    return SysStringByteLen(bstr) / (UINT)sizeof(OLECHAR);
}

void VariantInit(VARIANTARG* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (pvarg == NULL) return E_INVALIDARG;
    if ((pvarg->vt & VT_BYREF) == 0) {
        if (pvarg->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (hr != S_OK) return hr;
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        }
    }
    VariantInit(pvarg);
    return S_OK;
}

static ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
            return 8;
        case VT_BSTR:
            return sizeof(BSTR);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

static size_t ElementCount(const SAFEARRAY* psa) {
    size_t nCount = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) nCount *= psa->rgsabound[i].cElements;
    return nCount;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    ULONG ulSize = ElementSize(vt);
    if (ulSize == 0 || cDims == 0 || cDims > 64 || rgsabound == NULL) return NULL;
    SafeArrayBlock* pBlock =
        calloc(1, sizeof(SafeArrayBlock) + (cDims - 1) * sizeof(SAFEARRAYBOUND));
    if (pBlock == NULL) return NULL;
    SAFEARRAY* psa = &pBlock->sa;
    pBlock->vt = vt;
    psa->cDims = (USHORT)cDims;
    psa->cbElements = ulSize;
    psa->fFeatures = vt == VT_BSTR ? FADF_BSTR : vt == VT_VARIANT ? FADF_VARIANT : 0;
    /* Windows keeps the dimensions in reverse order; a vector is the same either way. */
    for (UINT i = 0; i < cDims; ++i) psa->rgsabound[i] = rgsabound[cDims - 1 - i];
    size_t nCount = ElementCount(psa);
    if (nCount > 0) {
        psa->pvData = calloc(nCount, ulSize);
        if (psa->pvData == NULL) {
            free(pBlock);
            return NULL;
        }
    }
    /* calloc's zero bytes are VT_EMPTY variants and null texts. */
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound = {cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == NULL) return S_OK;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    size_t nCount = ElementCount(psa);
    if (psa->fFeatures & FADF_VARIANT) {
        for (size_t i = 0; i < nCount; ++i) VariantClear((VARIANT*)psa->pvData + i);
    } else if (psa->fFeatures & FADF_BSTR) {
        for (size_t i = 0; i < nCount; ++i) SysFreeString(((BSTR*)psa->pvData)[i]);
    }
    free(psa->pvData);
    free(BlockOfArray(psa));
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return psa == NULL ? 0 : psa->cDims;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (psa == NULL || pvt == NULL) return E_INVALIDARG;
    *pvt = BlockOfArray(psa)->vt;
    return S_OK;
}

/* Dimension nDim (1-based, in the caller's order) as stored. */
static const SAFEARRAYBOUND* Bound(SAFEARRAY* psa, UINT nDim) {
    if (psa == NULL || nDim == 0 || nDim > psa->cDims) return NULL;
    return &psa->rgsabound[psa->cDims - nDim];
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    const SAFEARRAYBOUND* pBound = Bound(psa, nDim);
    if (pBound == NULL || plLbound == NULL) return DISP_E_BADINDEX;
    *plLbound = pBound->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    const SAFEARRAYBOUND* pBound = Bound(psa, nDim);
    if (pBound == NULL || plUbound == NULL) return DISP_E_BADINDEX;
    *plUbound = (LONG)((int64_t)pBound->lLbound + (int64_t)pBound->cElements - 1);
    return S_OK;
}

/* Address of the element at rgIndices (first index varies slowest, as on Windows), or null. */
static void* ElementAt(SAFEARRAY* psa, const LONG* rgIndices) {
    if (psa == NULL || rgIndices == NULL || psa->pvData == NULL) return NULL;
    size_t nOffset = 0;
    for (UINT nDim = 1; nDim <= psa->cDims; ++nDim) {
        const SAFEARRAYBOUND* pBound = Bound(psa, nDim);
        int64_t nIndex = (int64_t)rgIndices[nDim - 1] - pBound->lLbound;
        if (nIndex < 0 || nIndex >= (int64_t)pBound->cElements) return NULL;
        nOffset = nOffset * pBound->cElements + (size_t)nIndex;
    }
    return (char*)psa->pvData + nOffset * psa->cbElements;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    void* pElement = ElementAt(psa, rgIndices);
    if (pElement == NULL) return DISP_E_BADINDEX;
    if (psa->fFeatures & FADF_VARIANT) return VariantCopy(pElement, pv);
    if (psa->fFeatures & FADF_BSTR) {
        BSTR bstrSource = pv;
        BSTR bstrCopy = NULL;
        if (bstrSource != NULL) {
            bstrCopy = SysAllocStringLen(bstrSource, SysStringLen(bstrSource));
            if (bstrCopy == NULL) return E_OUTOFMEMORY;
        }
        SysFreeString(*(BSTR*)pElement);
        *(BSTR*)pElement = bstrCopy;
        return S_OK;
    }
    memcpy(pElement, pv, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    void* pElement = ElementAt(psa, rgIndices);
    if (pElement == NULL || pv == NULL) return DISP_E_BADINDEX;
    if (psa->fFeatures & FADF_VARIANT) {
        VariantInit(pv);
        return VariantCopy(pv, pElement);
    }
    if (psa->fFeatures & FADF_BSTR) {
        BSTR bstrSource = *(BSTR*)pElement;
        *(BSTR*)pv = NULL;
        if (bstrSource == NULL) return S_OK;
        *(BSTR*)pv = SysAllocStringLen(bstrSource, SysStringLen(bstrSource));
        return *(BSTR*)pv == NULL ? E_OUTOFMEMORY : S_OK;
    }
    memcpy(pv, pElement, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (psa == NULL || ppvData == NULL) return E_INVALIDARG;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (psa == NULL || psa->cLocks == 0) return E_INVALIDARG;
    --psa->cLocks;
    return S_OK;
}

/* A deep copy of an array of the same shape. */
static HRESULT CopyArray(SAFEARRAY* psaSource, SAFEARRAY** ppsaCopy) {
    *ppsaCopy = NULL;
    if (psaSource == NULL) return S_OK;
    SAFEARRAYBOUND rgBounds[64];
    UINT cDims = psaSource->cDims;
    for (UINT i = 0; i < cDims; ++i) rgBounds[i] = psaSource->rgsabound[cDims - 1 - i];
    SAFEARRAY* psa = SafeArrayCreate(BlockOfArray(psaSource)->vt, cDims, rgBounds);
    if (psa == NULL) return E_OUTOFMEMORY;
    size_t nCount = ElementCount(psa);
    for (size_t i = 0; i < nCount; ++i) {
        char* pFrom = (char*)psaSource->pvData + i * psa->cbElements;
        char* pTo = (char*)psa->pvData + i * psa->cbElements;
        HRESULT hr = S_OK;
        if (psa->fFeatures & FADF_VARIANT) {
            hr = VariantCopy((VARIANT*)pTo, (const VARIANT*)pFrom);
        } else if ((psa->fFeatures & FADF_BSTR) && *(BSTR*)pFrom != NULL) {
            BSTR bstr = *(BSTR*)pFrom;
            *(BSTR*)pTo = SysAllocStringLen(bstr, SysStringLen(bstr));
            if (*(BSTR*)pTo == NULL) hr = E_OUTOFMEMORY;
        } else if (!(psa->fFeatures & FADF_BSTR)) {
            memcpy(pTo, pFrom, psa->cbElements);
        }
        if (hr != S_OK) {
            SafeArrayDestroy(psa);
            return hr;
        }
    }
    *ppsaCopy = psa;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (pvargDest == NULL || pvargSrc == NULL) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    HRESULT hr = VariantClear(pvargDest);
    if (hr != S_OK) return hr;
    VARIANT copy = *pvargSrc;
    if ((copy.vt & VT_BYREF) == 0 && (copy.vt & VT_ARRAY)) {
        hr = CopyArray(pvargSrc->parray, &copy.parray);
    } else if (copy.vt == VT_BSTR && copy.bstrVal != NULL) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (copy.bstrVal == NULL) hr = E_OUTOFMEMORY;
    }
    if (hr != S_OK) return hr;
    *pvargDest = copy;
    return S_OK;
}

#endif /* _WIN32 */
