// OLE automation: BSTR with its length-prefix contract, VARIANT, task memory.
#pragma once

#include "platform/com/unknown.h"

using BSTR = char16_t*;
using VARTYPE = std::uint16_t;

// A BSTR points at its text; the 32-bit byte length stands just before it and a NUL unit just after it.
BSTR SysAllocString(LPCWSTR text);
BSTR SysAllocStringLen(LPCWSTR text, UINT units);   // null text gives uninitialised (zeroed) units
BSTR SysAllocStringByteLen(LPCSTR data, UINT bytes); // null data gives zeroed bytes
INT SysReAllocStringLen(BSTR* target, LPCWSTR text, UINT units);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

void* CoTaskMemAlloc(SIZE_T bytes);
void* CoTaskMemRealloc(void* block, SIZE_T bytes);
void CoTaskMemFree(void* block);

enum VARENUM : VARTYPE {
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
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000, // or'ed with the element type: the value is a SAFEARRAY of it
};

// A safe array of one dimension (the stand-in's arrays have one): its elements lie one after the other in pvData,
// cbElements bytes each. BSTR elements are owned, IUnknown elements hold a reference, VARIANT elements are cleared
// with the array.
struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
    VARTYPE vt; // the element type
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        ULONG ulVal;
        SHORT iVal;
        USHORT uiVal;
        BYTE bVal;
        char cVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        INT intVal;
        UINT uintVal;
        SAFEARRAY* parray;
    };
};
using VARIANTARG = VARIANT;

// Safe arrays of the element types VT_VARIANT, VT_BSTR, VT_UNKNOWN and the fixed-size numbers and VT_BOOL. Indexes
// run from the lower bound; an element is copied in and out as the element type's value (a BSTR or VARIANT
// copied, an interface given a reference).
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayCopy(const SAFEARRAY* array, SAFEARRAY** copy);
UINT SafeArrayGetDim(const SAFEARRAY* array);
HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* type);
HRESULT SafeArrayGetLBound(const SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(const SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* index, const void* value);
HRESULT SafeArrayGetElement(const SAFEARRAY* array, const LONG* index, void* value);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);

void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
// Converts between the numeric types, VT_BOOL and VT_BSTR. Numbers are written and read as the given locale
// would (1033: "." decimal point, no grouping). Other locales use the stand-in's user locale separators.
HRESULT VariantChangeTypeEx(VARIANT* destination, const VARIANT* source, LCID locale, USHORT flags, VARTYPE type);
HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE type);
