#include "foundation/filelockbytes.h"

#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "platform/com/oleauto.h"
#include "platform/win/errors.h"
#include "platform/win/msgbox.h"
#include "platform/win/resources.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <string>

namespace FileLockBytesImpl {

namespace {

// The name of the running application: its executable's file name without the folder and extension.
std::u16string ApplicationName()
{
    WCHAR path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string name(path, std::min<DWORD>(length, MAX_PATH));
    const auto slash = name.find_last_of(u"/\\");
    if (slash != std::u16string::npos) {
        name.erase(0, slash + 1);
    }
    const auto dot = name.find_last_of(u'.');
    if (dot != std::u16string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

} // namespace

FileLockBytes::FileLockBytes(LPCWSTR fileName)
{
    WCHAR full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameW(fileName, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        const HRESULT hr = length == 0 ? platform::LastErrorResult() : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        throw KVO::XLockBytesCreate(hr, KVO::String(fileName));
    }
    name_ = KVO::String(full);
    file_ = CreateFileW(full, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
        throw KVO::XLockBytesCreate(platform::LastErrorResult(), name_);
    }
    // File names are case-sensitive here: the name stays as given, where Windows would take the spelling the file
    // system reports and lower-case it.
}

FileLockBytes::~FileLockBytes()
{
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_); // removes the file (FILE_FLAG_DELETE_ON_CLOSE)
    }
}

HRESULT FileLockBytes::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry kInterfaces[] = {
        {&IID_ILockBytes, &KVO::InterfaceCast<FileLockBytes, IKVOLockBytes>},
        {&IID_IKVOLockBytes, &KVO::InterfaceCast<FileLockBytes, IKVOLockBytes>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, kInterfaces, iid, out);
}

ULONG FileLockBytes::AddRef() { return InternalAddRef(); }

ULONG FileLockBytes::Release() { return InternalRelease(); }

HRESULT FileLockBytes::SeekTo(ULONGLONG offset)
{
    if (offset == position_) {
        return S_OK;
    }
    // A failed seek is always reported: reading or writing on at the old position would move the wrong bytes.
    if (!SetFilePointerEx(file_, MakeLargeInteger(static_cast<LONGLONG>(offset)), nullptr, FILE_BEGIN)) {
        return platform::LastErrorResult();
    }
    position_ = offset;
    return S_OK;
}

HRESULT FileLockBytes::ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead) {
        *pcbRead = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    HRESULT hr = SeekTo(ulOffset.QuadPart);
    if (FAILED(hr)) {
        return hr;
    }
    DWORD read = 0;
    const BOOL ok = ReadFile(file_, pv, cb, &read, nullptr);
    hr = ok ? S_OK : platform::LastErrorResult();
    position_ = ulOffset.QuadPart + read;
    if (pcbRead) {
        *pcbRead = read;
    }
    return hr;
}

bool FileLockBytes::AskToRetryOnFullDisk() const noexcept
{
    // Called inside WriteAt: a question that cannot be asked counts as Cancel rather than leaving the slot.
    try {
        const KVO::String text = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::StorageDiskFull, true);
        const std::u16string caption = ApplicationName();
        return MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_RETRYCANCEL | MB_TASKMODAL) == IDRETRY;
    } catch (...) {
        return false;
    }
}

HRESULT FileLockBytes::WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten)
{
    if (pcbWritten) {
        *pcbWritten = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(pv);
    ULONG done = 0;
    for (;;) {
        HRESULT hr = SeekTo(ulOffset.QuadPart + done);
        if (FAILED(hr)) {
            return hr;
        }
        DWORD written = 0;
        const BOOL ok = WriteFile(file_, bytes + done, cb - done, &written, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        position_ += written;
        done += written;
        if (pcbWritten) {
            *pcbWritten = done;
        }
        if (ok) {
            return S_OK;
        }
        if (error == ERROR_DISK_FULL && (flags_ & kAskOnDiskFull) && AskToRetryOnFullDisk()) {
            continue;
        }
        SetLastError(error);
        return platform::LastErrorResult();
    }
}

HRESULT FileLockBytes::Flush() { return FlushFileBuffers(file_) ? S_OK : platform::LastErrorResult(); }

HRESULT FileLockBytes::SetSize(ULARGE_INTEGER cb)
{
    if (!SetFilePointerEx(file_, MakeLargeInteger(static_cast<LONGLONG>(cb.QuadPart)), nullptr, FILE_BEGIN)) {
        return platform::LastErrorResult();
    }
    // The file position has moved even when the size cannot change: the cache must follow it.
    position_ = cb.QuadPart;
    return SetEndOfFile(file_) ? S_OK : platform::LastErrorResult();
}

HRESULT FileLockBytes::LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD)
{
    return LockFile(file_, libOffset.u.LowPart, libOffset.u.HighPart, cb.u.LowPart, cb.u.HighPart)
               ? S_OK
               : platform::LastErrorResult();
}

HRESULT FileLockBytes::UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD)
{
    return UnlockFile(file_, libOffset.u.LowPart, libOffset.u.HighPart, cb.u.LowPart, cb.u.HighPart)
               ? S_OK
               : platform::LastErrorResult();
}

HRESULT FileLockBytes::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    if (!pstatstg) {
        return STG_E_INVALIDPOINTER;
    }
    *pstatstg = STATSTG{};
    LARGE_INTEGER size{};
    STATSTG result{};
    if (!GetFileSizeEx(file_, &size) || !GetFileTime(file_, &result.ctime, &result.atime, &result.mtime)) {
        return platform::LastErrorResult();
    }
    if (!(grfStatFlag & STATFLAG_NONAME)) {
        const std::size_t units = static_cast<std::size_t>(name_.Length()) + 1;
        auto* name = static_cast<OLECHAR*>(CoTaskMemAlloc(units * sizeof(OLECHAR)));
        if (!name) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        std::copy(name_.c_str(), name_.c_str() + units, name);
        result.pwcsName = name;
    }
    result.type = STGTY_LOCKBYTES;
    result.cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
    result.grfMode = mode_;
    *pstatstg = result;
    return S_OK;
}

HRESULT FileLockBytes::CanCopyRanges() { return S_OK; } // 0: no

HRESULT FileLockBytes::GetExtensionObject(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return S_OK;
}

HRESULT FileLockBytes::Notify(ULONG_PTR) { return S_OK; }

} // namespace FileLockBytesImpl
