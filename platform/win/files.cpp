#include "platform/win/files.h"

#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct LockedRange {
    std::uint64_t offset;
    std::uint64_t length;
};

struct FileObject {
    int fd = -1;
    std::string path;
    bool deleteOnClose = false;
    bool canRead = false;
    bool canWrite = false;
    std::uint64_t position = 0;
    std::vector<LockedRange> locks;
};

struct FileTable {
    std::mutex mutex;
    std::unordered_set<FileObject*> open;
    DWORD failError = 0;
    unsigned failCount = 0;
    std::optional<FILETIME> timeOverride;
};

FileTable& Table()
{
    static FileTable table;
    return table;
}

DWORD Win32ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL FailWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL FailWithErrno() { return FailWith(Win32ErrorFromErrno(errno)); }

BOOL Succeed()
{
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// The open file behind a handle, or null (last error set) for anything that is not one.
FileObject* Lookup(HANDLE handle)
{
    auto* file = static_cast<FileObject*>(handle);
    FileTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (!file || handle == INVALID_HANDLE_VALUE || !table.open.contains(file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return file;
}

// Copies text with its NUL into a buffer of `units`; returns the length, or the units needed (with the NUL) when
// the buffer is too small.
DWORD CopyOut(const std::u16string& text, DWORD units, LPWSTR buffer)
{
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (!buffer || units < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return needed;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text.size());
}

std::uint64_t Join(DWORD low, DWORD high) { return (static_cast<std::uint64_t>(high) << 32) | low; }

bool Overlaps(const LockedRange& a, std::uint64_t offset, std::uint64_t length)
{
    return offset < a.offset + a.length && a.offset < offset + length;
}

} // namespace

namespace platform {

HRESULT LastErrorResult()
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

std::string FilePathFromName(LPCWSTR name) { return name ? Utf16ToUtf8(name) : std::string(); }

FILETIME FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds)
{
    // 100-ns intervals since 1601-01-01.
    constexpr std::int64_t kEpochDifference = 11644473600;
    const std::uint64_t ticks =
        static_cast<std::uint64_t>((seconds + kEpochDifference) * 10000000 + nanoseconds / 100);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void SetSystemTimeOverride(const FILETIME* time)
{
    std::lock_guard lock(Table().mutex);
    Table().timeOverride = time ? std::optional<FILETIME>(*time) : std::nullopt;
}

void FailNextFileWrites(DWORD error, unsigned count)
{
    std::lock_guard lock(Table().mutex);
    Table().failError = error;
    Table().failCount = count;
}

} // namespace platform

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, void* security, DWORD disposition, DWORD flagsAndAttributes,
                   HANDLE templateFile)
{
    if (!name || !*name || security || templateFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const bool read = access & GENERIC_READ;
    const bool write = access & GENERIC_WRITE;
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = platform::FilePathFromName(name);
    // Win32 reports whether CREATE_ALWAYS / OPEN_ALWAYS met an existing file.
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        FailWithErrno();
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new FileObject;
    file->fd = fd;
    file->path = path;
    file->deleteOnClose = flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
    file->canRead = read;
    file->canWrite = write;
    {
        std::lock_guard lock(Table().mutex);
        Table().open.insert(file);
    }
    const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, void* overlapped)
{
    if (read) {
        *read = 0;
    }
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    if (overlapped || (!buffer && count) || !read) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (!file->canRead) {
        return FailWith(ERROR_ACCESS_DENIED);
    }
    auto* bytes = static_cast<char*>(buffer);
    DWORD done = 0;
    while (done < count) {
        const ssize_t n = ::pread(file->fd, bytes + done, count - done, static_cast<off_t>(file->position + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *read = done;
            file->position += done;
            return FailWithErrno();
        }
        if (n == 0) {
            break; // end of file: a short read that succeeds
        }
        done += static_cast<DWORD>(n);
    }
    *read = done;
    file->position += done;
    return Succeed();
}

BOOL WriteFile(HANDLE handle, const void* buffer, DWORD count, DWORD* written, void* overlapped)
{
    if (written) {
        *written = 0;
    }
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    if (overlapped || (!buffer && count) || !written) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (!file->canWrite) {
        return FailWith(ERROR_ACCESS_DENIED);
    }
    {
        FileTable& table = Table();
        std::lock_guard lock(table.mutex);
        if (table.failCount > 0) {
            --table.failCount;
            return FailWith(table.failError);
        }
    }
    const auto* bytes = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(file->fd, bytes + done, count - done, static_cast<off_t>(file->position + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *written = done;
            file->position += done;
            return FailWithErrno();
        }
        done += static_cast<DWORD>(n);
    }
    *written = done;
    file->position += done;
    return Succeed();
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER move, LARGE_INTEGER* newPosition, DWORD method)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    std::int64_t base = 0;
    switch (method) {
    case FILE_BEGIN:
        break;
    case FILE_CURRENT:
        base = static_cast<std::int64_t>(file->position);
        break;
    case FILE_END: {
        struct stat info {};
        if (::fstat(file->fd, &info) != 0) {
            return FailWithErrno();
        }
        base = info.st_size;
        break;
    }
    default:
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0) {
        return FailWith(ERROR_NEGATIVE_SEEK);
    }
    file->position = static_cast<std::uint64_t>(target);
    if (newPosition) {
        newPosition->QuadPart = target;
    }
    return Succeed();
}

BOOL SetEndOfFile(HANDLE handle)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    if (!file->canWrite) {
        return FailWith(ERROR_ACCESS_DENIED);
    }
    if (::ftruncate(file->fd, static_cast<off_t>(file->position)) != 0) {
        return FailWithErrno();
    }
    return Succeed();
}

BOOL GetFileSizeEx(HANDLE handle, LARGE_INTEGER* size)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    if (!size) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    struct stat info {};
    if (::fstat(file->fd, &info) != 0) {
        return FailWithErrno();
    }
    size->QuadPart = info.st_size;
    return Succeed();
}

BOOL FlushFileBuffers(HANDLE handle)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    if (::fsync(file->fd) != 0) {
        return FailWithErrno();
    }
    return Succeed();
}

BOOL GetFileTime(HANDLE handle, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    struct statx info {};
    if (::statx(file->fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return FailWithErrno();
    }
    auto convert = [](const struct statx_timestamp& t) { return platform::FileTimeFromUnix(t.tv_sec, t.tv_nsec); };
    if (creation) {
        // File systems without a birth time report the last change instead.
        *creation = convert((info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime);
    }
    if (lastAccess) {
        *lastAccess = convert(info.stx_atime);
    }
    if (lastWrite) {
        *lastWrite = convert(info.stx_mtime);
    }
    return Succeed();
}

BOOL LockFile(HANDLE handle, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    const std::uint64_t offset = Join(offsetLow, offsetHigh);
    const std::uint64_t length = Join(lengthLow, lengthHigh);
    FileTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (FileObject* other : table.open) {
        if (other->path != file->path) {
            continue;
        }
        for (const LockedRange& range : other->locks) {
            if (Overlaps(range, offset, length)) {
                return FailWith(ERROR_LOCK_VIOLATION);
            }
        }
    }
    file->locks.push_back({offset, length});
    return Succeed();
}

BOOL UnlockFile(HANDLE handle, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    const std::uint64_t offset = Join(offsetLow, offsetHigh);
    const std::uint64_t length = Join(lengthLow, lengthHigh);
    std::lock_guard lock(Table().mutex);
    const auto found = std::find_if(file->locks.begin(), file->locks.end(), [&](const LockedRange& range) {
        return range.offset == offset && range.length == length;
    });
    if (found == file->locks.end()) {
        return FailWith(ERROR_NOT_LOCKED);
    }
    file->locks.erase(found);
    return Succeed();
}

BOOL CloseHandle(HANDLE handle)
{
    FileObject* file = Lookup(handle);
    if (!file) {
        return FALSE;
    }
    {
        std::lock_guard lock(Table().mutex);
        Table().open.erase(file);
    }
    const int closed = ::close(file->fd);
    const int closeError = errno;
    if (file->deleteOnClose) {
        ::unlink(file->path.c_str());
    }
    delete file;
    if (closed != 0) {
        return FailWith(Win32ErrorFromErrno(closeError));
    }
    return Succeed();
}

BOOL DeleteFileW(LPCWSTR name)
{
    if (!name || !*name) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (::unlink(platform::FilePathFromName(name).c_str()) != 0) {
        return FailWithErrno();
    }
    return Succeed();
}

DWORD GetTempPathW(DWORD bufferUnits, LPWSTR buffer)
{
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable && *variable ? variable : "/tmp";
    if (folder.back() != '/') {
        folder += '/';
    }
    return CopyOut(platform::Utf8ToUtf16(folder), bufferUnits, buffer);
}

UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR out)
{
    if (!path || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string folder = path;
    if (folder.empty() || folder.back() != u'/') {
        folder += u'/';
    }
    const std::u16string start = folder + std::u16string(prefix ? prefix : u"").substr(0, 3);
    auto nameOf = [&](UINT number) {
        static constexpr char16_t kHex[] = u"0123456789ABCDEF";
        std::u16string digits;
        do {
            digits.insert(digits.begin(), kHex[number & 0xF]);
            number >>= 4;
        } while (number);
        return start + digits + u".tmp";
    };
    auto copyName = [&](const std::u16string& name) {
        if (name.size() + 1 > MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return false;
        }
        std::copy(name.begin(), name.end(), out);
        out[name.size()] = 0;
        return true;
    };
    if (unique != 0) {
        if (!copyName(nameOf(unique & 0xFFFF))) {
            return 0;
        }
        SetLastError(ERROR_SUCCESS);
        return unique & 0xFFFF;
    }
    // Numbers are tried from a varying start, as Win32 starts from the tick count; the file is created
    // exclusively so that two callers never get the same name.
    static std::atomic<UINT> counter{
        static_cast<UINT>(::getpid()) ^
        static_cast<UINT>(std::chrono::steady_clock::now().time_since_epoch().count())};
    UINT number = counter.fetch_add(1) & 0xFFFF;
    for (UINT tried = 0; tried < 0x10000; ++tried, number = (number + 1) & 0xFFFF) {
        if (number == 0) {
            continue;
        }
        const std::u16string name = nameOf(number);
        if (name.size() + 1 > MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        const int fd = ::open(platform::Utf16ToUtf8(name).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            copyName(name);
            counter.store(number + 1);
            SetLastError(ERROR_SUCCESS);
            return number;
        }
        if (errno != EEXIST) {
            FailWithErrno();
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

DWORD GetFullPathNameW(LPCWSTR name, DWORD bufferUnits, LPWSTR buffer, LPWSTR* filePart)
{
    if (filePart) {
        *filePart = nullptr;
    }
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::FilePathFromName(name), error);
    if (error) {
        SetLastError(Win32ErrorFromErrno(error.value()));
        return 0;
    }
    const std::u16string full = platform::Utf8ToUtf16(absolute.lexically_normal().string());
    const DWORD result = CopyOut(full, bufferUnits, buffer);
    if (result == full.size() && filePart) {
        const auto slash = full.find_last_of(u'/');
        if (slash != std::u16string::npos && slash + 1 < full.size()) {
            *filePart = buffer + slash + 1;
        }
    }
    return result;
}

void GetSystemTimeAsFileTime(FILETIME* time)
{
    if (!time) {
        return;
    }
    {
        std::lock_guard lock(Table().mutex);
        if (Table().timeOverride) {
            *time = *Table().timeOverride;
            return;
        }
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds);
    *time = platform::FileTimeFromUnix(seconds.count(), nanoseconds.count());
}
