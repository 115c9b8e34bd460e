// The file calls on POSIX files, the file container of the storage and the temporary storage file.
#include "storagekit.h"

#include "foundation/filelockbytes.h"
#include "platform/win/codepage.h"
#include "platform/win/errors.h"
#include "platform/win/files.h"
#include "platform/win/msgbox.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>

using namespace storagekit;
namespace fs = std::filesystem;

namespace {

// A fresh temporary folder for each test, set as TMPDIR while the test runs.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cfbtestXXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        const char* old = std::getenv("TMPDIR");
        oldTmp_ = old ? old : "";
        hadTmp_ = old != nullptr;
        ::setenv("TMPDIR", folder_.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadTmp_) {
            ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        platform::FailNextFileWrites(0, 0);
    }
    std::u16string Path(const std::string& name) const { return platform::Utf8ToUtf16(folder_ + "/" + name); }
    std::vector<fs::path> Listing() const
    {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            files.push_back(entry.path());
        }
        return files;
    }

    std::string folder_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

struct MessageBoxRecorder {
    std::vector<platform::MessageBoxCall> calls;
    std::vector<int> answers;
    platform::MessageBoxHook previous;

    MessageBoxRecorder()
    {
        previous = platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
            calls.push_back(call);
            const int answer = answers.empty() ? IDCANCEL : answers.front();
            if (!answers.empty()) {
                answers.erase(answers.begin());
            }
            return answer;
        });
    }
    ~MessageBoxRecorder() { platform::SetMessageBoxHook(previous); }
};

} // namespace

using Files = TempFolder;
using FileContainer = TempFolder;

TEST_F(Files, CreateReadWriteSeekAndSize)
{
    const std::u16string name = Path("a.bin");
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(CreateFileW(Path("none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "hello", 5, &done, nullptr));
    EXPECT_EQ(done, 5u);
    LARGE_INTEGER position{};
    ASSERT_TRUE(SetFilePointerEx(file, MakeLargeInteger(10), &position, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(file, "!", 1, &done, nullptr)); // past the end: the gap reads as zeros
    ASSERT_TRUE(SetFilePointerEx(file, MakeLargeInteger(-8), &position, FILE_END));
    EXPECT_EQ(position.QuadPart, 3);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 16, &done, nullptr)); // a short read at the end succeeds
    EXPECT_EQ(done, 8u);
    EXPECT_EQ(std::string(buffer, 8), std::string("lo\0\0\0\0\0!", 8));
    EXPECT_FALSE(SetFilePointerEx(file, MakeLargeInteger(-100), nullptr, FILE_CURRENT));
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 11);
    ASSERT_TRUE(SetFilePointerEx(file, MakeLargeInteger(4), nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, 4);
    EXPECT_TRUE(FlushFileBuffers(file));
    FILETIME written{};
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    EXPECT_GT(written.dwHighDateTime, 0u);

    // Byte-range locks between handles.
    HANDLE other = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(LockFile(file, 0, 0, 10, 0));
    EXPECT_FALSE(LockFile(other, 5, 0, 1, 0));
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(UnlockFile(file, 0, 0, 9, 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
    EXPECT_TRUE(UnlockFile(file, 0, 0, 10, 0));
    EXPECT_TRUE(LockFile(other, 5, 0, 1, 0));
    EXPECT_FALSE(WriteFile(other, "x", 1, &done, nullptr)); // opened for reading only
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(other));

    platform::FailNextFileWrites(ERROR_DISK_FULL, 1);
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(fs::exists(folder_ + "/a.bin"));
    EXPECT_TRUE(DeleteFileW(name.c_str()));
    EXPECT_FALSE(DeleteFileW(name.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // An error code made from a last error of 0 is a failure, never success.
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(platform::LastErrorResult(), E_FAIL);
    SetLastError(ERROR_DISK_FULL);
    EXPECT_EQ(platform::LastErrorResult(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
}

TEST_F(Files, TemporaryNamesPathsAndTime)
{
    WCHAR folder[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    EXPECT_EQ(std::u16string(folder, length), platform::Utf8ToUtf16(folder_ + "/"));
    EXPECT_EQ(GetTempPathW(3, folder), length + 1); // too small: the units needed

    // Each call makes a new empty file exclusively: two calls never give the same name.
    WCHAR first[MAX_PATH] = {};
    WCHAR second[MAX_PATH] = {};
    ASSERT_NE(GetTempFileNameW(folder, u"KVOX", 0, first), 0u);
    ASSERT_NE(GetTempFileNameW(folder, u"KVOX", 0, second), 0u);
    const std::string a = platform::Utf16ToUtf8(first);
    EXPECT_NE(a, platform::Utf16ToUtf8(second));
    EXPECT_EQ(a.rfind(folder_ + "/KVO", 0), 0u);
    EXPECT_EQ(a.substr(a.size() - 4), ".tmp");
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(fs::file_size(a), 0u);
    // With a number given, only the name is made.
    WCHAR named[MAX_PATH] = {};
    EXPECT_EQ(GetTempFileNameW(folder, u"ab", 0x1F2, named), 0x1F2u);
    EXPECT_EQ(platform::Utf16ToUtf8(named), folder_ + "/ab1F2.tmp");
    EXPECT_FALSE(fs::exists(platform::Utf16ToUtf8(named)));

    // Delete-on-close removes the file with its last handle.
    HANDLE file = CreateFileW(first, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(fs::exists(a));

    WCHAR full[MAX_PATH] = {};
    LPWSTR part = nullptr;
    const DWORD fullLength = GetFullPathNameW(u"x/../y.bin", MAX_PATH, full, &part);
    ASSERT_GT(fullLength, 0u);
    EXPECT_EQ(platform::Utf16ToUtf8(full), (fs::current_path() / "y.bin").string());
    EXPECT_EQ(std::u16string(part), u"y.bin");

    EXPECT_EQ(platform::FileTimeFromUnix(0, 0).dwHighDateTime, 0x019DB1DEu); // 1970 in 100-ns steps since 1601
    EXPECT_EQ(platform::FileTimeFromUnix(0, 0).dwLowDateTime, 0xD53E8000u);
    const FILETIME fixed{1, 2};
    platform::SetSystemTimeOverride(&fixed);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(now.dwLowDateTime, 1u);
    platform::SetSystemTimeOverride(nullptr);
    GetSystemTimeAsFileTime(&now);
    EXPECT_GT(now.dwHighDateTime, 0x01D00000u);
}

// The temporary storage: a "KVO" file in the temporary folder, holding the committed file, gone with the storage.
TEST_F(FileContainer, TemporaryStorageFileLivesAsLongAsTheStorage)
{
    ComPtr<IStorage> root;
    ASSERT_EQ(KVOStorage::CreateOnFile(u"", root.Out()), S_OK);
    ASSERT_EQ(Listing().size(), 1u);
    const fs::path path = Listing().front();
    EXPECT_EQ(path.filename().string().rfind("KVO", 0), 0u);
    ASSERT_EQ(WriteStream(root.Get(), u"Data", Pattern(50000, 9)), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);

    std::ifstream in(path, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const testreader::Result read = testreader::Read(image);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.root.streams.at(u"Data"), Pattern(50000, 9));

    STATSTG stat{};
    ASSERT_EQ(root->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(platform::Utf16ToUtf8(stat.pwcsName), path.string());
    CoTaskMemFree(stat.pwcsName);
    EXPECT_EQ(stat.type, STGTY_STORAGE);
    EXPECT_EQ(stat.grfMode, 0x04011012u);
    EXPECT_EQ(stat.cbSize.QuadPart, image.size());

    ComPtr<IKVOStorage> extended;
    ASSERT_EQ(root->QueryInterface(IID_IKVOStorage, reinterpret_cast<void**>(extended.Out())), S_OK);
    IUnknown* object = extended.Get();
    EXPECT_EQ(extended->GetExtensionObject(&object), S_OK); // the file container's stub
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(extended->Notify(7), S_OK);
    ComPtr<ILockBytes> container;
    ASSERT_EQ(extended->GetLockBytes(container.Out()), S_OK);
    ASSERT_EQ(container->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, STGTY_LOCKBYTES);
    EXPECT_EQ(stat.pwcsName, nullptr);
    container.Reset();
    extended.Reset();

    root.Reset();
    EXPECT_TRUE(Listing().empty());

    // A file that cannot be created comes back as its error, and no empty temporary file stays behind.
    EXPECT_EQ(KVOStorage::CreateOnFile(Path("missing/folder/x").c_str(), root.Out()),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(root);
    EXPECT_TRUE(Listing().empty());
}

TEST_F(FileContainer, ReadsWritesAndAFullDisk)
{
    const std::u16string name = Path("c.bin");
    ComPtr<FileLockBytesImpl::FileLockBytes> bytes(new FileLockBytesImpl::FileLockBytes(name.c_str()));
    ULONG done = 0;
    ASSERT_EQ(bytes->WriteAt(MakeULargeInteger(100), "abc", 3, &done), S_OK);
    char buffer[8] = {};
    ASSERT_EQ(bytes->ReadAt(MakeULargeInteger(99), buffer, 8, &done), S_OK);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(std::string(buffer, 4), std::string("\0abc", 4));
    ASSERT_EQ(bytes->SetSize(MakeULargeInteger(101)), S_OK);
    ASSERT_EQ(bytes->ReadAt(MakeULargeInteger(100), buffer, 8, &done), S_OK);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(bytes->Flush(), S_OK);
    EXPECT_EQ(bytes->LockRegion(MakeULargeInteger(0), MakeULargeInteger(4), LOCK_WRITE), S_OK);
    EXPECT_EQ(bytes->UnlockRegion(MakeULargeInteger(0), MakeULargeInteger(4), LOCK_WRITE), S_OK);
    EXPECT_EQ(bytes->UnlockRegion(MakeULargeInteger(0), MakeULargeInteger(4), LOCK_WRITE),
              HRESULT_FROM_WIN32(ERROR_NOT_LOCKED));

    // A seek that fails is always reported, whatever the offset.
    EXPECT_EQ(bytes->ReadAt(MakeULargeInteger(0x8000000000000000ull), buffer, 8, &done),
              HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(bytes->WriteAt(MakeULargeInteger(0x8000000000000010ull), "x", 1, &done),
              HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK));

    // On a full disk the user is asked (without waiting: the box goes to the hook) and the write is repeated while
    // the answer is Retry.
    {
        MessageBoxRecorder boxes;
        boxes.answers = {IDRETRY, IDRETRY};
        platform::FailNextFileWrites(ERROR_DISK_FULL, 2);
        ASSERT_EQ(bytes->WriteAt(MakeULargeInteger(0), "full", 4, &done), S_OK);
        EXPECT_EQ(done, 4u);
        ASSERT_EQ(boxes.calls.size(), 2u);
        EXPECT_EQ(boxes.calls[0].type, 0x2005u); // MB_RETRYCANCEL | MB_TASKMODAL
        EXPECT_NE(boxes.calls[0].text.find(u"not enough space on the disk"), std::u16string::npos);
        EXPECT_NE(boxes.calls[0].text.find(u"Wavedesk"), std::u16string::npos);
        EXPECT_FALSE(boxes.calls[0].caption.empty());

        boxes.answers = {IDCANCEL};
        platform::FailNextFileWrites(ERROR_DISK_FULL, 5);
        EXPECT_EQ(bytes->WriteAt(MakeULargeInteger(0), "full", 4, &done), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
        EXPECT_EQ(boxes.calls.size(), 3u);
        platform::FailNextFileWrites(ERROR_ACCESS_DENIED, 1); // other failures are not offered a retry
        EXPECT_EQ(bytes->WriteAt(MakeULargeInteger(0), "full", 4, &done), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
        EXPECT_EQ(boxes.calls.size(), 3u);
    }
    {
        // Asking the user cannot fail the slot with an exception: a question that cannot be asked is a Cancel.
        const platform::MessageBoxHook previous = platform::SetMessageBoxHook(
            [](const platform::MessageBoxCall&) -> int { throw std::bad_alloc(); });
        platform::FailNextFileWrites(ERROR_DISK_FULL, 1);
        HRESULT hr = S_OK;
        EXPECT_NO_THROW(hr = bytes->WriteAt(MakeULargeInteger(0), "full", 4, &done));
        platform::SetMessageBoxHook(previous);
        EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    }
    ASSERT_EQ(bytes->ReadAt(MakeULargeInteger(0), buffer, 4, &done), S_OK);
    EXPECT_EQ(std::string(buffer, 4), "full");
    EXPECT_EQ(bytes->CanCopyRanges(), S_OK);

    // A size change that moves the file position and then fails must not leave the cached position behind: the next
    // transfer at the old cached offset has to seek. A file-size limit makes the truncation fail on any file system.
    {
        struct rlimit old {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = old;
        limited.rlim_cur = 1 << 20;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const HRESULT hr = bytes->SetSize(MakeULargeInteger(1ull << 30));
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    }
    ASSERT_EQ(bytes->ReadAt(MakeULargeInteger(4), buffer, 8, &done), S_OK); // the cache said 4
    EXPECT_EQ(done, 8u);
    bytes.Reset();
    EXPECT_TRUE(Listing().empty());
}
