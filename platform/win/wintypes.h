// Fixed-width Win32 types, result codes and the small macros the module uses.
// Widths follow the 32-bit Windows ABI where values cross a boundary; pointer-sized types follow the machine.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = std::uint32_t;
using LANGID = std::uint16_t;
using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using SIZE_T = std::size_t;
using VARIANT_BOOL = std::int16_t;
using COLORREF = std::uint32_t; // 0x00BBGGRR

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;
struct HWND__;
using HWND = HWND__*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;
inline constexpr std::size_t MAX_PATH = 260;

constexpr HRESULT MakeHResult(std::uint32_t value) { return static_cast<HRESULT>(value); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHResult(0x800401F0u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000Bu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHResult(0x8002000Du);

// Structured storage results.
inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHResult(0x80030002u);
inline constexpr HRESULT STG_E_PATHNOTFOUND = MakeHResult(0x80030003u);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = MakeHResult(0x80030004u);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDHANDLE = MakeHResult(0x80030006u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHResult(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MakeHResult(0x80030009u);
inline constexpr HRESULT STG_E_NOMOREFILES = MakeHResult(0x80030012u);
inline constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = MakeHResult(0x80030020u);
inline constexpr HRESULT STG_E_LOCKVIOLATION = MakeHResult(0x80030021u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeHResult(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHResult(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FBu);
inline constexpr HRESULT STG_E_INVALIDNAME = MakeHResult(0x800300FCu);
inline constexpr HRESULT STG_E_UNKNOWN = MakeHResult(0x800300FDu);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = MakeHResult(0x800300FEu);
inline constexpr HRESULT STG_E_INVALIDFLAG = MakeHResult(0x800300FFu);
inline constexpr HRESULT STG_E_INUSE = MakeHResult(0x80030100u);
inline constexpr HRESULT STG_E_NOTCURRENT = MakeHResult(0x80030101u);
inline constexpr HRESULT STG_E_REVERTED = MakeHResult(0x80030102u);
inline constexpr HRESULT STG_E_CANTSAVE = MakeHResult(0x80030103u);
inline constexpr HRESULT STG_E_OLDFORMAT = MakeHResult(0x80030104u);
inline constexpr HRESULT STG_E_OLDDLL = MakeHResult(0x80030105u);
inline constexpr HRESULT STG_E_SHAREREQUIRED = MakeHResult(0x80030106u);
inline constexpr HRESULT STG_E_NOTFILEBASEDSTORAGE = MakeHResult(0x80030107u);
inline constexpr HRESULT STG_E_EXTANTMARSHALLINGS = MakeHResult(0x80030108u);

// Win32 error codes (GetLastError values).
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
inline constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;

inline constexpr std::uint32_t FACILITY_WIN32 = 7;
inline constexpr std::uint32_t FACILITY_ITF = 4;
inline constexpr std::uint32_t FACILITY_STORAGE = 3;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr std::uint32_t HRESULT_FACILITY(HRESULT hr) { return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFF; }
constexpr std::uint32_t HRESULT_CODE(HRESULT hr) { return static_cast<std::uint32_t>(hr) & 0xFFFF; }
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error)
{
    return static_cast<HRESULT>(error) <= 0 ? static_cast<HRESULT>(error)
                                            : MakeHResult((error & 0xFFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(std::uintptr_t v) { return static_cast<BYTE>(v & 0xFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16); }
constexpr LANGID MAKELANGID(WORD primary, WORD sub) { return static_cast<LANGID>((sub << 10) | primary); }
constexpr WORD PRIMARYLANGID(LANGID id) { return id & 0x3FF; }

// Integer resource names travel as pointers whose value is below 0x10000.
inline LPCWSTR MAKEINTRESOURCEW(std::uintptr_t id) { return reinterpret_cast<LPCWSTR>(id & 0xFFFF); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

inline constexpr std::uintptr_t RT_STRING_ID = 6;
inline constexpr std::uintptr_t RT_DIALOG_ID = 5;
inline constexpr std::uintptr_t RT_MENU_ID = 4;
inline constexpr std::uintptr_t RT_ACCELERATOR_ID = 9;
inline constexpr std::uintptr_t RT_RCDATA_ID = 10;
inline constexpr std::uintptr_t RT_BITMAP_ID = 2;
inline constexpr std::uintptr_t RT_VERSION_ID = 16;
#define RT_STRING MAKEINTRESOURCEW(RT_STRING_ID)
#define RT_DIALOG MAKEINTRESOURCEW(RT_DIALOG_ID)
#define RT_MENU MAKEINTRESOURCEW(RT_MENU_ID)
#define RT_ACCELERATOR MAKEINTRESOURCEW(RT_ACCELERATOR_ID)
#define RT_RCDATA MAKEINTRESOURCEW(RT_RCDATA_ID)
#define RT_BITMAP MAKEINTRESOURCEW(RT_BITMAP_ID)
#define RT_VERSION MAKEINTRESOURCEW(RT_VERSION_ID)

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// 64-bit values passed by value through COM interfaces; QuadPart is the whole value.
union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};
