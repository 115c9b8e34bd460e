// Files, the temporary folder and the system time, on POSIX files. Each call sets the last error as Win32 does.
// Reads and writes go through pread/pwrite at the handle's own position. FILE_FLAG_DELETE_ON_CLOSE becomes an
// unlink when the handle is closed. Share modes are accepted and not enforced (one process, no other writers).
#pragma once

#include "platform/win/wintypes.h"

#include <string>

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;

inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

// Win32 error codes of the file calls beyond the common ones.
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_LOCK_VIOLATION = 33;
inline constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_NOT_LOCKED = 158;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;

// `security`, `overlapped` and `templateFile` must be null.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD shareMode, void* security, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, void* overlapped);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER move, LARGE_INTEGER* newPosition, DWORD method);
BOOL SetEndOfFile(HANDLE file);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
// Byte-range locks between the handles of this process; a range overlapping another lock is refused.
BOOL LockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh);
BOOL UnlockFile(HANDLE file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileW(LPCWSTR name);

// The temporary folder ($TMPDIR or /tmp) with a trailing separator. Returns its length without the NUL, or the
// units needed with the NUL when the buffer is too small.
DWORD GetTempPathW(DWORD bufferUnits, LPWSTR buffer);
// Writes "<path>/<first 3 units of prefix><hex number>.tmp" into `out` (MAX_PATH units). With unique 0 a free
// number is chosen and the empty file is created exclusively; otherwise nothing is created. Returns the number,
// 0 on failure.
UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR out);
// The absolute, lexically normalised form of `name`. Returns its length without the NUL, or the units needed with
// the NUL when the buffer is too small; `filePart` (optional) points at the last component in the buffer.
DWORD GetFullPathNameW(LPCWSTR name, DWORD bufferUnits, LPWSTR buffer, LPWSTR* filePart);

void GetSystemTimeAsFileTime(FILETIME* time);

namespace platform {
// FILETIME of a POSIX time (seconds and nanoseconds since 1970).
FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
// Tests fix the system time with a value, and give it back to the real clock with null.
void SetSystemTimeOverride(const FILETIME* time);
// The next `count` calls of WriteFile fail with `error` and write nothing (a full disk without filling one).
void FailNextFileWrites(DWORD error, unsigned count);
// HRESULT_FROM_WIN32 of the last error; E_FAIL when the last error is 0, so that a failure never reads as success.
HRESULT LastErrorResult();
// The POSIX path of a UTF-16 name.
std::string FilePathFromName(LPCWSTR name);
}
