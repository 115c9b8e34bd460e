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
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
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
    };
};
using VARIANTARG = VARIANT;

void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
// Converts between the numeric types, VT_BOOL and VT_BSTR. Numbers are written and read as the given locale
// would (1033: "." decimal point, no grouping). Other locales use the stand-in's user locale separators.
HRESULT VariantChangeTypeEx(VARIANT* destination, const VARIANT* source, LCID locale, USHORT flags, VARTYPE type);
HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE type);
