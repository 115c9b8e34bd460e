#include "platform/com/oleauto.h"

#include "platform/win/codepage.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {
constexpr std::size_t kPrefix = 8; // keeps the text 8-byte aligned; the byte length is the word just before it

BSTR AllocateBytes(const void* data, UINT bytes)
{
    auto* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(char16_t)));
    if (!block) {
        return nullptr;
    }
    std::memset(block, 0, kPrefix);
    std::memcpy(block + kPrefix - 4, &bytes, 4);
    if (data) {
        std::memcpy(block + kPrefix, data, bytes);
    } else {
        std::memset(block + kPrefix, 0, bytes);
    }
    // NUL after the text, also for an odd byte count.
    std::memset(block + kPrefix + bytes, 0, sizeof(char16_t));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

char* BlockOf(BSTR text) { return reinterpret_cast<char*>(text) - kPrefix; }

bool IsNumeric(VARTYPE vt)
{
    switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_BOOL: case VT_EMPTY:
        return true;
    default:
        return false;
    }
}

double AsDouble(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_INT: return v.intVal;
    case VT_I8: return static_cast<double>(v.llVal);
    case VT_UI1: return v.bVal;
    case VT_UI2: return v.uiVal;
    case VT_UI4: return v.ulVal;
    case VT_UINT: return v.uintVal;
    case VT_UI8: return static_cast<double>(v.ullVal);
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_BOOL: return v.boolVal ? -1.0 : 0.0;
    default: return 0.0;
    }
}

bool IsInteger(VARTYPE vt) { return vt != VT_R4 && vt != VT_R8; }

// A decimal integer text read straight into a 64-bit VARIANT: a double holds only 53 bits, so 2^63 - 1 would not
// survive the way through it. False (nothing written) when the text is no integer or does not fit.
bool ExactInteger(const std::string& text, VARTYPE type, VARIANT& out)
{
    const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    if (begin == end) {
        return false;
    }
    if (type == VT_I8) {
        LONGLONG value = 0;
        const auto parsed = std::from_chars(begin, end, value);
        if (parsed.ec != std::errc{} || parsed.ptr != end) {
            return false;
        }
        out.llVal = value;
    } else {
        ULONGLONG value = 0;
        const auto parsed = std::from_chars(begin, end, value);
        if (parsed.ec != std::errc{} || parsed.ptr != end) {
            return false;
        }
        out.ullVal = value;
    }
    out.vt = type;
    return true;
}

std::string NumberText(const VARIANT& v)
{
    char buffer[64];
    std::to_chars_result done{};
    switch (v.vt) {
    case VT_R4:
        done = std::to_chars(buffer, buffer + sizeof buffer, v.fltVal, std::chars_format::general, 7);
        break;
    case VT_R8:
        done = std::to_chars(buffer, buffer + sizeof buffer, v.dblVal, std::chars_format::general, 15);
        break;
    case VT_I8:
        done = std::to_chars(buffer, buffer + sizeof buffer, v.llVal);
        break;
    case VT_UI8:
        done = std::to_chars(buffer, buffer + sizeof buffer, v.ullVal);
        break;
    case VT_BOOL:
        return v.boolVal ? "True" : "False";
    default:
        done = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(AsDouble(v)));
        break;
    }
    std::string text(buffer, done.ptr);
    for (char& c : text) {
        if (c == 'e') c = 'E';
        if (c == 'n' || c == 'i' || c == 'a' || c == 'f') c = static_cast<char>(std::toupper(c));
    }
    return text;
}

HRESULT FromDouble(VARIANT& out, double value, VARTYPE type)
{
    auto fits = [value](double low, double high) { return value >= low - 0.5 && value < high + 0.5; };
    const double rounded = std::nearbyint(value); // banker's rounding, as the automation library does
    switch (type) {
    case VT_R8: out.dblVal = value; break;
    case VT_R4:
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        out.fltVal = static_cast<float>(value);
        break;
    case VT_BOOL: out.boolVal = value != 0.0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_I1: if (!fits(-128, 127)) return DISP_E_OVERFLOW; out.cVal = static_cast<char>(rounded); break;
    case VT_UI1: if (!fits(0, 255)) return DISP_E_OVERFLOW; out.bVal = static_cast<BYTE>(rounded); break;
    case VT_I2: if (!fits(-32768, 32767)) return DISP_E_OVERFLOW; out.iVal = static_cast<SHORT>(rounded); break;
    case VT_UI2: if (!fits(0, 65535)) return DISP_E_OVERFLOW; out.uiVal = static_cast<USHORT>(rounded); break;
    case VT_I4: case VT_INT:
        if (!fits(-2147483648.0, 2147483647.0)) return DISP_E_OVERFLOW;
        out.lVal = static_cast<LONG>(rounded);
        break;
    case VT_UI4: case VT_UINT:
        if (!fits(0, 4294967295.0)) return DISP_E_OVERFLOW;
        out.ulVal = static_cast<ULONG>(rounded);
        break;
    case VT_I8:
        if (!fits(-9.2233720368547758e18, 9.2233720368547748e18)) return DISP_E_OVERFLOW;
        out.llVal = static_cast<LONGLONG>(rounded);
        break;
    case VT_UI8:
        if (!fits(0, 1.8446744073709550e19)) return DISP_E_OVERFLOW;
        out.ullVal = static_cast<ULONGLONG>(rounded);
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    out.vt = type;
    return S_OK;
}
}

BSTR SysAllocString(LPCWSTR text)
{
    if (!text) {
        return nullptr;
    }
    UINT units = 0;
    while (text[units]) {
        ++units;
    }
    return SysAllocStringLen(text, units);
}

BSTR SysAllocStringLen(LPCWSTR text, UINT units) { return AllocateBytes(text, units * sizeof(char16_t)); }

BSTR SysAllocStringByteLen(LPCSTR data, UINT bytes) { return AllocateBytes(data, bytes); }

INT SysReAllocStringLen(BSTR* target, LPCWSTR text, UINT units)
{
    BSTR fresh = SysAllocStringLen(text, units);
    if (!fresh) {
        return FALSE;
    }
    SysFreeString(*target);
    *target = fresh;
    return TRUE;
}

void SysFreeString(BSTR text)
{
    if (text) {
        std::free(BlockOf(text));
    }
}

UINT SysStringByteLen(BSTR text)
{
    if (!text) {
        return 0;
    }
    UINT bytes;
    std::memcpy(&bytes, BlockOf(text) + kPrefix - 4, 4);
    return bytes;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(char16_t); }

void* CoTaskMemAlloc(SIZE_T bytes) { return std::malloc(bytes ? bytes : 1); }
void* CoTaskMemRealloc(void* block, SIZE_T bytes) { return std::realloc(block, bytes ? bytes : 1); }
void CoTaskMemFree(void* block) { std::free(block); }

void VariantInit(VARIANT* value)
{
    std::memset(value, 0, sizeof(VARIANT));
    value->vt = VT_EMPTY;
}

namespace {

// Bytes per element of a safe array's element type; 0 for a type it cannot hold.
ULONG ElementBytes(VARTYPE type)
{
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_R4: case VT_INT: case VT_UINT: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN: return sizeof(IUnknown*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
    }
}

// The element at `index`, or null when it lies outside the bounds.
std::byte* ElementAt(const SAFEARRAY* array, LONG index)
{
    const std::int64_t offset = std::int64_t{index} - array->rgsabound[0].lLbound;
    if (offset < 0 || offset >= array->rgsabound[0].cElements) {
        return nullptr;
    }
    return static_cast<std::byte*>(array->pvData) + offset * array->cbElements;
}

// Releases what one element owns and zeroes it.
void ClearElement(VARTYPE type, std::byte* element)
{
    if (type == VT_BSTR) {
        BSTR text = nullptr;
        std::memcpy(&text, element, sizeof text);
        SysFreeString(text);
    } else if (type == VT_UNKNOWN) {
        IUnknown* object = nullptr;
        std::memcpy(&object, element, sizeof object);
        if (object) {
            object->Release();
        }
    } else if (type == VT_VARIANT) {
        VariantClear(reinterpret_cast<VARIANT*>(element));
    }
    std::memset(element, 0, ElementBytes(type));
}

// Copies `value` (of the element type) into an element, which must be clear.
HRESULT CopyElement(VARTYPE type, std::byte* element, const void* value)
{
    if (type == VT_BSTR) {
        BSTR source = nullptr;
        std::memcpy(&source, value, sizeof source);
        BSTR copy = source ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source)) : nullptr;
        if (source && !copy) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(element, &copy, sizeof copy);
    } else if (type == VT_UNKNOWN) {
        IUnknown* object = nullptr;
        std::memcpy(&object, value, sizeof object);
        if (object) {
            object->AddRef();
        }
        std::memcpy(element, &object, sizeof object);
    } else if (type == VT_VARIANT) {
        auto* target = reinterpret_cast<VARIANT*>(element);
        VariantInit(target);
        return VariantCopy(target, static_cast<const VARIANT*>(value));
    } else {
        std::memcpy(element, value, ElementBytes(type));
    }
    return S_OK;
}

} // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count)
{
    const ULONG bytes = ElementBytes(type);
    if (bytes == 0) {
        return nullptr;
    }
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) {
        return nullptr;
    }
    array->pvData = std::calloc(count ? count : 1, bytes);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->cbElements = bytes;
    array->rgsabound[0] = {count, lowerBound};
    array->vt = type;
    if (type == VT_VARIANT) {
        for (ULONG i = 0; i < count; ++i) {
            VariantInit(static_cast<VARIANT*>(array->pvData) + i);
        }
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array) {
        return S_OK;
    }
    if (array->cLocks != 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        ClearElement(array->vt, static_cast<std::byte*>(array->pvData) + std::size_t{i} * array->cbElements);
    }
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* array, SAFEARRAY** copy)
{
    if (!copy) {
        return E_INVALIDARG;
    }
    *copy = nullptr;
    if (!array) {
        return S_OK;
    }
    SAFEARRAY* made = SafeArrayCreateVector(array->vt, array->rgsabound[0].lLbound, array->rgsabound[0].cElements);
    if (!made) {
        return E_OUTOFMEMORY;
    }
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        const std::size_t at = std::size_t{i} * array->cbElements;
        std::byte* target = static_cast<std::byte*>(made->pvData) + at;
        if (array->vt == VT_VARIANT) {
            VariantClear(reinterpret_cast<VARIANT*>(target));
        }
        const HRESULT hr = CopyElement(array->vt, target, static_cast<const std::byte*>(array->pvData) + at);
        if (FAILED(hr)) {
            SafeArrayDestroy(made);
            return hr;
        }
    }
    *copy = made;
    return S_OK;
}

UINT SafeArrayGetDim(const SAFEARRAY* array) { return array ? array->cDims : 0; }

HRESULT SafeArrayGetVartype(const SAFEARRAY* array, VARTYPE* type)
{
    if (!array || !type) {
        return E_INVALIDARG;
    }
    *type = array->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, UINT dimension, LONG* bound)
{
    if (!array || !bound) {
        return E_INVALIDARG;
    }
    if (dimension != 1) {
        return DISP_E_BADINDEX;
    }
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, UINT dimension, LONG* bound)
{
    if (!array || !bound) {
        return E_INVALIDARG;
    }
    if (dimension != 1) {
        return DISP_E_BADINDEX;
    }
    *bound = static_cast<LONG>(std::int64_t{array->rgsabound[0].lLbound} + array->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* index, const void* value)
{
    if (!array || !index || !value) {
        return E_INVALIDARG;
    }
    std::byte* element = ElementAt(array, *index);
    if (!element) {
        return DISP_E_BADINDEX;
    }
    ClearElement(array->vt, element);
    return CopyElement(array->vt, element, value);
}

HRESULT SafeArrayGetElement(const SAFEARRAY* array, const LONG* index, void* value)
{
    if (!array || !index || !value) {
        return E_INVALIDARG;
    }
    const std::byte* element = ElementAt(array, *index);
    if (!element) {
        return DISP_E_BADINDEX;
    }
    if (array->vt == VT_VARIANT) {
        VariantInit(static_cast<VARIANT*>(value));
    }
    return CopyElement(array->vt, static_cast<std::byte*>(value), element);
}

HRESULT SafeArrayLock(SAFEARRAY* array)
{
    if (!array) {
        return E_INVALIDARG;
    }
    ++array->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array)
{
    if (!array) {
        return E_INVALIDARG;
    }
    if (array->cLocks == 0) {
        return E_UNEXPECTED;
    }
    --array->cLocks;
    return S_OK;
}

HRESULT VariantClear(VARIANT* value)
{
    if (!value) {
        return E_INVALIDARG;
    }
    if (value->vt & VT_ARRAY) {
        SafeArrayDestroy(value->parray);
    } else if (value->vt == VT_BSTR) {
        SysFreeString(value->bstrVal);
    } else if (value->vt == VT_UNKNOWN && value->punkVal) {
        value->punkVal->Release();
    }
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source)
{
    if (!destination || !source) {
        return E_INVALIDARG;
    }
    if (destination == source) {
        return S_OK;
    }
    VARIANT copy = *source;
    if ((source->vt & VT_ARRAY) != 0) {
        const HRESULT hr = SafeArrayCopy(source->parray, &copy.parray);
        if (FAILED(hr)) {
            return hr;
        }
    } else if (source->vt == VT_BSTR && source->bstrVal) {
        copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source->bstrVal), SysStringByteLen(source->bstrVal));
        if (!copy.bstrVal) {
            return E_OUTOFMEMORY;
        }
    } else if (source->vt == VT_UNKNOWN && source->punkVal) {
        source->punkVal->AddRef();
    }
    VariantClear(destination);
    *destination = copy;
    return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANT* destination, const VARIANT* source, LCID, USHORT, VARTYPE type)
{
    if (!destination || !source) {
        return E_INVALIDARG;
    }
    if (source->vt == type) {
        return VariantCopy(destination, source);
    }
    VARIANT result;
    VariantInit(&result);
    if (type == VT_BSTR) {
        if (!IsNumeric(source->vt) || source->vt == VT_EMPTY) {
            if (source->vt != VT_EMPTY) {
                return DISP_E_TYPEMISMATCH;
            }
            result.bstrVal = SysAllocStringLen(u"", 0);
        } else {
            const std::u16string text = platform::Utf8ToUtf16(NumberText(*source));
            result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        if (!result.bstrVal) {
            return E_OUTOFMEMORY;
        }
        result.vt = VT_BSTR;
    } else if (source->vt == VT_BSTR) {
        const std::string text = platform::Utf16ToUtf8(
            std::u16string_view(source->bstrVal ? source->bstrVal : u"", SysStringLen(source->bstrVal)));
        double value = 0.0;
        std::string trimmed = text;
        while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(trimmed.begin());
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
        if (type == VT_BOOL && (trimmed == "True" || trimmed == "False")) {
            value = trimmed == "True" ? -1.0 : 0.0;
        } else if ((type == VT_I8 || type == VT_UI8) && ExactInteger(trimmed, type, result)) {
            VariantClear(destination);
            *destination = result;
            return S_OK;
        } else {
            const char* begin = trimmed.data() + (!trimmed.empty() && trimmed.front() == '+' ? 1 : 0);
            const auto parsed = std::from_chars(begin, trimmed.data() + trimmed.size(), value);
            if (trimmed.empty() || parsed.ec != std::errc{} || parsed.ptr != trimmed.data() + trimmed.size()) {
                return DISP_E_TYPEMISMATCH;
            }
        }
        const HRESULT hr = FromDouble(result, value, type);
        if (FAILED(hr)) {
            return hr;
        }
    } else if (IsNumeric(source->vt)) {
        if (IsInteger(source->vt) && (source->vt == VT_I8 || source->vt == VT_UI8) && IsInteger(type)) {
            // Exact integer paths for the 64-bit types.
            const HRESULT hr = FromDouble(result, AsDouble(*source), type);
            if (FAILED(hr)) {
                return hr;
            }
            if (type == VT_I8) result.llVal = source->vt == VT_I8 ? source->llVal : static_cast<LONGLONG>(source->ullVal);
            if (type == VT_UI8) result.ullVal = source->vt == VT_UI8 ? source->ullVal : static_cast<ULONGLONG>(source->llVal);
        } else {
            const HRESULT hr = FromDouble(result, AsDouble(*source), type);
            if (FAILED(hr)) {
                return hr;
            }
        }
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    VariantClear(destination);
    *destination = result;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT flags, VARTYPE type)
{
    return VariantChangeTypeEx(destination, source, 1033, flags, type);
}
