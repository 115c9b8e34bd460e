#include "foundation/binstream.h"

#include "foundation/xkvo.h"
#include "platform/win/codepage.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

namespace {

// Little-endian coding, value by value, whatever the machine's byte order.
// On a little-endian machine a value's own bytes are its coding: copied whole, not byte by byte.
template <class U>
U LoadLE(const unsigned char* bytes)
{
    U value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes, sizeof(U));
    } else {
        for (std::size_t i = 0; i < sizeof(U); ++i) {
            value |= static_cast<U>(static_cast<U>(bytes[i]) << (8 * i));
        }
    }
    return value;
}

template <class U>
void StoreLE(U value, unsigned char* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes, &value, sizeof(U));
    } else {
        for (std::size_t i = 0; i < sizeof(U); ++i) {
            bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        }
    }
}

// The bit pattern of each readable value type.
template <class T>
struct Wire;
template <> struct Wire<BYTE> { using Bits = std::uint8_t; };
template <> struct Wire<SHORT> { using Bits = std::uint16_t; };
template <> struct Wire<USHORT> { using Bits = std::uint16_t; };
template <> struct Wire<LONG> { using Bits = std::uint32_t; };
template <> struct Wire<ULONG> { using Bits = std::uint32_t; };
template <> struct Wire<float> { using Bits = std::uint32_t; };
template <> struct Wire<LONGLONG> { using Bits = std::uint64_t; };
template <> struct Wire<ULONGLONG> { using Bits = std::uint64_t; };
template <> struct Wire<double> { using Bits = std::uint64_t; };

// A string count above this cannot be sensible: no string can hold it with its NUL.
constexpr std::uint32_t kMaxStringCount = KVOString::kMaxUnits - 1;
// Before the wide form existed counts were limited to this.
constexpr std::int32_t kMaxOldStringCount = 64000;
// The version from which strings carry a marker and a check word.
constexpr LONG kMarkedStringVersion = 10;

[[noreturn]] void ThrowBadString() { throw XKVO(KVO::Errors::kBadStreamString); }

// Installs n UTF-16LE units as the target's text, with a NUL added when the units do not end in one.
void InstallUnits(KVO::String& target, const unsigned char* bytes, std::uint32_t n)
{
    const bool endsInNul = n != 0 && bytes[2 * n - 2] == 0 && bytes[2 * n - 1] == 0;
    KVOString::StringRep* rep = target.Rep();
    const bool reuse = rep != KVOString::StringRep::GetEmptyRep() && rep->refCount == 1 && rep->capacity >= n + 1;
    KVOString::StringRep* into = reuse ? rep : KVOString::StringRep::Create(std::max<std::uint32_t>(n + 1, 8));
    char16_t* text = into->Text();
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(text, bytes, 2 * std::size_t{n}); // the units' own layout
    } else {
        for (std::uint32_t i = 0; i < n; ++i) {
            text[i] = LoadLE<char16_t>(bytes + 2 * i);
        }
    }
    text[n] = 0;
    into->length = endsInNul ? n : n + 1;
    if (reuse) {
        into->ClearAnsi();
    } else {
        KVO::StringOutParam out(target);
        *out.Slot() = into;
    }
}

// 8-bit text of the older forms, in the ANSI code page of the machines that wrote it.
void InstallAnsi(KVO::String& target, const unsigned char* bytes, std::uint32_t n)
{
    const auto* chars = reinterpret_cast<const char*>(bytes);
    const int length = static_cast<int>(std::find(chars, chars + n, '\0') - chars);
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    if (length != 0) {
        MultiByteToWideChar(CP_WINDOWS_1252, 0, chars, length, text.data(), length);
    }
    target = KVO::String(text.c_str());
}

} // namespace

namespace KVO {

// ---------------------------------------------------------------------------------------------------------------
// BinStream

BinStream::BinStream(std::streambuf* buffer, bool ownsBuffer)
    : buffer_(buffer), state_(buffer ? kGood : kNoBuffer), ownsBuffer_(ownsBuffer)
{
}

BinStream::~BinStream()
{
    if (ownsBuffer_) {
        delete buffer_;
    }
}

// Moves exactly n bytes through `move` (a get or a put of the buffer) or records a short transfer.
template <class Move>
bool MoveExactly(int& state, std::size_t n, Move move)
{
    if (state != BinStream::kGood) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    std::streamsize moved = 0;
    try {
        moved = move(static_cast<std::streamsize>(n));
    } catch (...) {
        moved = 0;
    }
    if (moved != static_cast<std::streamsize>(n)) {
        state = BinStream::kShortTransfer;
        return false;
    }
    return true;
}

bool BinStream::Get(void* bytes, std::size_t n)
{
    return MoveExactly(state_, n, [&](std::streamsize count) { return buffer_->sgetn(static_cast<char*>(bytes), count); });
}

bool BinStream::Put(const void* bytes, std::size_t n)
{
    return MoveExactly(state_, n,
                       [&](std::streamsize count) { return buffer_->sputn(static_cast<const char*>(bytes), count); });
}

HRESULT BinStream::NoInterface(void** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT BinStream::TellSide(std::ios_base::openmode side, DWORD* position)
{
    if (!position) {
        return E_POINTER;
    }
    if (state_ != kGood) {
        return E_FAIL;
    }
    std::streamoff at = -1;
    try {
        at = buffer_->pubseekoff(0, std::ios_base::cur, side);
    } catch (...) {
        at = -1;
    }
    // 0xFFFFFFFF is the failure answer, so a position from there on cannot be told in 32 bits.
    if (at < 0 || at >= 0xFFFFFFFF) {
        state_ = kShortTransfer;
        *position = 0xFFFFFFFF;
        return E_FAIL;
    }
    *position = static_cast<DWORD>(at);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------------------------
// BinIStream

BinIStream::BinIStream(std::streambuf* buffer, bool ownsBuffer, IBinStreamAttachment* attachment)
    : BinStream(buffer, ownsBuffer), attachment_(attachment)
{
    ReadVersionTag();
}

BinIStream::BinIStream(std::streambuf* buffer, DeferTag) : BinStream(buffer, false) {}

BinIStream::~BinIStream()
{
    if (attachment_) {
        attachment_->Release();
    }
}

void BinIStream::ReadVersionTag()
{
    if (state_ != kGood) {
        version_ = 0;
        return;
    }
    unsigned char bytes[4];
    if (Get(bytes, 4)) {
        const std::uint32_t tag = LoadLE<std::uint32_t>(bytes);
        if ((tag & kBinStreamTagMask) == kBinStreamTagPattern) {
            version_ = static_cast<LONG>((tag >> 16) & 0xFF);
            return;
        }
        // Data from before the tag existed: its first bytes are data.
        std::streamoff back = -1;
        try {
            back = buffer_->pubseekoff(-4, std::ios_base::cur, std::ios_base::in);
        } catch (...) {
            back = -1;
        }
        if (back < 0) {
            state_ = kShortTransfer;
        }
    }
    version_ = 1;
}

HRESULT BinIStream::Tell(DWORD* position) { return TellSide(std::ios_base::in, position); }

template <class T>
HRESULT BinIStream::ReadValue(T* value)
{
    if (!value) {
        return E_POINTER;
    }
    using Bits = typename Wire<T>::Bits;
    unsigned char bytes[sizeof(Bits)];
    if (!Get(bytes, sizeof bytes)) {
        return E_FAIL;
    }
    *value = std::bit_cast<T>(LoadLE<Bits>(bytes));
    return S_OK;
}

HRESULT BinIStream::ReadByte(BYTE* value)
{
    const HRESULT hr = ReadValue(value);
    if (FAILED(hr) && value) {
        *value = 0;
    }
    return hr;
}

HRESULT BinIStream::ReadShort(SHORT* value) { return ReadValue(value); }
HRESULT BinIStream::ReadLong(LONG* value) { return ReadValue(value); }
HRESULT BinIStream::ReadFloat(float* value) { return ReadValue(value); }
HRESULT BinIStream::ReadDouble(double* value) { return ReadValue(value); }
HRESULT BinIStream::ReadUShort(USHORT* value) { return ReadValue(value); }
HRESULT BinIStream::ReadULong(ULONG* value) { return ReadValue(value); }
HRESULT BinIStream::ReadLongLong(LONGLONG* value) { return ReadValue(value); }
HRESULT BinIStream::ReadULongLong(ULONGLONG* value) { return ReadValue(value); }

HRESULT BinIStream::ReadLongs(LONG* values, std::size_t count)
{
    unsigned char bytes[16 * 4];
    if (!values || count > 16) {
        return E_INVALIDARG;
    }
    if (!Get(bytes, 4 * count)) {
        return E_FAIL;
    }
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = static_cast<LONG>(LoadLE<std::uint32_t>(bytes + 4 * i));
    }
    return S_OK;
}

HRESULT BinIStream::ReadBlock(void* data, ULONG bytes)
{
    if (!data && bytes != 0) {
        return E_POINTER;
    }
    return Get(data, bytes) ? S_OK : E_FAIL;
}

HRESULT BinIStream::GetVersion(LONG* version)
{
    if (!version) {
        return E_POINTER;
    }
    *version = version_;
    return S_OK;
}

HRESULT BinIStream::ReadStringRep(IKVOString** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (state_ != kGood) {
        return E_FAIL;
    }
    return KVO::GuardSlot([&] {
        KVO::String text;
        ReadString(text);
        if (state_ != kGood) {
            return E_FAIL;
        }
        *out = text.GetInterface();
        return S_OK;
    });
}

bool BinIStream::RemainingBytes(std::uint64_t& remaining)
{
    constexpr auto in = std::ios_base::in;
    try {
        const std::streamoff here = buffer_->pubseekoff(0, std::ios_base::cur, in);
        if (here < 0) {
            return false;
        }
        const std::streamoff end = buffer_->pubseekoff(0, std::ios_base::end, in);
        if (buffer_->pubseekpos(here, in) != std::streampos(here)) {
            state_ = kShortTransfer;
            return false;
        }
        if (end < 0) {
            return false;
        }
        remaining = end > here ? static_cast<std::uint64_t>(end - here) : 0;
        return true;
    } catch (...) {
        state_ = kShortTransfer;
        return false;
    }
}

bool BinIStream::Buffered(std::uint64_t bytes)
{
    try {
        const std::streamsize available = buffer_->in_avail();
        return available > 0 && bytes <= static_cast<std::uint64_t>(available);
    } catch (...) {
        return false;
    }
}

bool BinIStream::ReadBytes(std::vector<unsigned char>& out, std::uint64_t count)
{
    constexpr std::uint64_t kPiece = 0x10000;
    out.clear();
    while (out.size() < count) {
        const std::size_t at = out.size();
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count - at, kPiece));
        out.resize(at + piece);
        if (!Get(out.data() + at, piece)) {
            return false;
        }
    }
    return true;
}

void BinIStream::ReadString(KVO::String& target)
{
    bool wide = false;
    std::int32_t count = 0;
    unsigned char header[12] = {};
    if (version_ >= kMarkedStringVersion) {
        Get(header, 12);
        if (state_ != kGood) {
            KVOString::MakeEmpty(target);
            return;
        }
        const std::uint32_t marker = LoadLE<std::uint32_t>(header);
        const std::uint32_t n = LoadLE<std::uint32_t>(header + 4);
        const std::uint32_t check = LoadLE<std::uint32_t>(header + 8);
        if (n + check != 0) {
            ThrowBadString();
        }
        wide = (marker & 0x80000000u) != 0;
        count = static_cast<std::int32_t>(n);
    } else {
        Get(header, 4);
        if (state_ != kGood) {
            KVOString::MakeEmpty(target);
            return;
        }
        count = static_cast<std::int32_t>(LoadLE<std::uint32_t>(header));
        if (count > kMaxOldStringCount) {
            ThrowBadString();
        }
    }
    if (count < 0 || static_cast<std::uint32_t>(count) > kMaxStringCount) {
        ThrowBadString();
    }
    const auto n = static_cast<std::uint32_t>(count);
    const std::uint64_t bytes = wide ? 2ull * n : n;
    // A count the stream cannot hold is a bad header, found before anything is allocated for it. Text that the
    // buffer already holds needs no look at the stream's size (which costs a buffered IStream its buffer).
    std::uint64_t remaining = 0;
    if (bytes != 0 && !Buffered(bytes) && RemainingBytes(remaining) && bytes > remaining) {
        ThrowBadString();
    }
    // Short texts (nearly all) are read without an allocation of their own.
    unsigned char small[512];
    std::vector<unsigned char> large;
    const unsigned char* text = small;
    if (bytes <= sizeof small ? !Get(small, static_cast<std::size_t>(bytes)) : !ReadBytes(large, bytes)) {
        KVOString::MakeEmpty(target);
        return;
    }
    if (bytes > sizeof small) {
        text = large.data();
    }
    if (wide) {
        InstallUnits(target, text, n);
    } else {
        InstallAnsi(target, text, n);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// BinOStream

BinOStream::BinOStream(std::streambuf* buffer, bool ownsBuffer, IBinStreamAttachment* attachment)
    : BinStream(buffer, ownsBuffer), attachment_(attachment)
{
    WriteVersionTag();
}

BinOStream::BinOStream(std::streambuf* buffer, DeferTag) : BinStream(buffer, false) {}

BinOStream::~BinOStream() { ReleaseAttachment(); }

void BinOStream::ReleaseAttachment()
{
    if (attachment_) {
        IBinStreamAttachment* attachment = attachment_;
        attachment_ = nullptr;
        attachment->Release();
    }
}

void BinOStream::WriteVersionTag() { PutU32(kBinStreamTag); }

void BinOStream::PutU32(std::uint32_t value)
{
    unsigned char bytes[4];
    StoreLE(value, bytes);
    Put(bytes, 4);
}

HRESULT BinOStream::Tell(DWORD* position) { return TellSide(std::ios_base::out, position); }

HRESULT BinOStream::Seek(DWORD position)
{
    if (state_ != kGood) {
        return E_FAIL;
    }
    std::streamoff at = -1;
    try {
        at = buffer_->pubseekpos(static_cast<std::streamoff>(position), std::ios_base::out);
    } catch (...) {
        at = -1;
    }
    if (at != static_cast<std::streamoff>(position)) {
        state_ = kShortTransfer;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT BinOStream::WriteByte(BYTE value) { return Put(&value, 1) ? S_OK : E_FAIL; }

HRESULT BinOStream::WriteShort(LONG value)
{
    unsigned char bytes[2];
    StoreLE(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFF), bytes);
    return Put(bytes, 2) ? S_OK : E_FAIL;
}

HRESULT BinOStream::WriteLong(LONG value)
{
    PutU32(static_cast<std::uint32_t>(value));
    return StatusResult();
}

HRESULT BinOStream::WriteFloat(float value)
{
    PutU32(std::bit_cast<std::uint32_t>(value));
    return StatusResult();
}

HRESULT BinOStream::WriteDouble(double value)
{
    unsigned char bytes[8];
    StoreLE(std::bit_cast<std::uint64_t>(value), bytes);
    return Put(bytes, 8) ? S_OK : E_FAIL;
}

HRESULT BinOStream::WriteLongLong(DWORD low, DWORD high)
{
    PutU32(low);
    PutU32(high);
    return StatusResult();
}

HRESULT BinOStream::WriteBlock(const void* data, ULONG bytes)
{
    if (!data && bytes != 0) {
        return E_POINTER;
    }
    return Put(data, bytes) ? S_OK : E_FAIL;
}

void BinOStream::WriteRep(const KVOString::StringRep* rep) { WriteUnits(rep->Text(), rep->length, false); }

void BinOStream::WriteUnits(const char16_t* text, std::uint32_t n, bool addNul)
{
    const std::uint32_t units = n - (addNul ? 1 : 0); // those taken from text
    unsigned char record[12 + 500];
    StoreLE(kBinStreamStringMarker, record);
    StoreLE(n, record + 4);
    StoreLE(0u - n, record + 8);
    static constexpr unsigned char kNul[2] = {0, 0};
    if constexpr (std::endian::native == std::endian::little) {
        // The units' own layout; a short text goes out with its header in one piece.
        const std::size_t bytes = 2 * std::size_t{units};
        if (2 * std::size_t{n} <= sizeof record - 12) {
            std::memcpy(record + 12, text, bytes);
            std::memcpy(record + 12 + bytes, kNul, addNul ? 2 : 0);
            Put(record, 12 + 2 * std::size_t{n});
        } else if (Put(record, 12) && Put(text, bytes) && addNul) {
            Put(kNul, 2);
        }
        return;
    }
    if (!Put(record, 12)) {
        return;
    }
    unsigned char chunk[512];
    for (std::uint32_t done = 0; done < units && state_ == kGood;) {
        const std::uint32_t piece = std::min<std::uint32_t>(units - done, sizeof chunk / 2);
        for (std::uint32_t i = 0; i < piece; ++i) {
            StoreLE(static_cast<std::uint16_t>(text[done + i]), chunk + 2 * i);
        }
        Put(chunk, 2 * piece);
        done += piece;
    }
    if (addNul) {
        Put(kNul, 2);
    }
}

void BinOStream::WriteText(std::u16string_view text)
{
    if (text.size() >= kMaxStringCount) {
        WriteString(KVO::String(std::u16string(text))); // as long a text as a string holds
        return;
    }
    WriteUnits(text.data(), static_cast<std::uint32_t>(text.size()) + 1, true);
}

void BinOStream::WriteLongs(std::initializer_list<LONG> values)
{
    if constexpr (std::endian::native == std::endian::little && sizeof(LONG) == 4) {
        Put(values.begin(), 4 * values.size()); // the values' own bytes
        return;
    }
    unsigned char bytes[64];
    std::size_t used = 0;
    for (const LONG value : values) {
        if (used == sizeof bytes) {
            Put(bytes, used);
            used = 0;
        }
        StoreLE(static_cast<std::uint32_t>(value), bytes + used);
        used += 4;
    }
    Put(bytes, used);
}

void BinOStream::WriteString(const KVO::String& text) { WriteRep(text.Rep()); }

HRESULT BinOStream::WriteStringRep(IAutoKVOString* text)
{
    if (state_ != kGood) {
        return E_FAIL;
    }
    return KVO::GuardSlot([&] {
        // Only a representation made by this very code is written in place; a foreign object claiming the type
        // id is copied like any other.
        if (!text) {
            WriteString(KVO::String());
        } else if (text->GetTypeId() == kNativeStringTypeId && KVOString::IsOwnRep(text)) {
            WriteRep(static_cast<const KVOString::StringRep*>(text));
        } else {
            KVO::String copy;
            copy.AssignInterface(text);
            WriteString(copy);
        }
        return StatusResult();
    });
}

HRESULT BinOStream::Flush()
{
    if (state_ != kGood) {
        return E_FAIL;
    }
    int result = -1;
    try {
        result = buffer_->pubsync();
    } catch (...) {
        result = -1;
    }
    if (result != 0) {
        state_ = kNoBuffer;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT BinOStream::Close()
{
    const HRESULT hr = Flush();
    ReleaseAttachment();
    return hr;
}

} // namespace KVO

// -------------------------------------------------------------------------------------------------------------------
// StorageStreamBuf

StorageStreamBuf::StorageStreamBuf() { ResetAreas(); }

StorageStreamBuf::~StorageStreamBuf() { Close(); }

void StorageStreamBuf::ResetAreas()
{
    setg(buffer_, buffer_, buffer_);
    setp(buffer_, buffer_);
    highWater_ = 0;
}

bool StorageStreamBuf::Open(IStream* stream)
{
    if (open_ || !stream) {
        return false;
    }
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return false;
    }
    if (stat.pwcsName) {
        CoTaskMemFree(stat.pwcsName);
    }
    ULARGE_INTEGER position{};
    if (FAILED(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_CUR, &position))) {
        return false;
    }
    switch (stat.grfMode & STGM_ACCESS_MASK) {
    case STGM_READ: mode_ = kRead; break;
    case STGM_WRITE: mode_ = kWrite; break;
    case STGM_READWRITE: mode_ = kReadWrite; break;
    default: mode_ = kNoMode; break;
    }
    stream->AddRef();
    stream_ = stream;
    open_ = true;
    base_ = static_cast<std::int64_t>(position.QuadPart);
    ResetAreas();
    return true;
}

bool StorageStreamBuf::Close()
{
    if (!open_) {
        return true;
    }
    const bool written = sync() == 0;
    IStream* stream = stream_;
    stream_ = nullptr;
    open_ = false;
    mode_ = kNoMode;
    ResetAreas();
    stream->Release();
    return written;
}

std::int64_t StorageStreamBuf::Position() const
{
    return Writing() ? base_ + (pptr() - pbase()) : base_ - (egptr() - gptr());
}

int StorageStreamBuf::sync()
{
    if (!open_) {
        return -1;
    }
    const std::size_t offset = Writing() ? static_cast<std::size_t>(pptr() - pbase()) : 0;
    const std::size_t pending = std::max(highWater_, offset);
    highWater_ = 0;
    if (pending == 0) {
        // Hand unread bytes back so that the IStream stands where the reader does.
        const std::ptrdiff_t unread = egptr() - gptr();
        if (unread > 0) {
            ULARGE_INTEGER position{};
            if (FAILED(stream_->Seek(MakeLargeInteger(-unread), STREAM_SEEK_CUR, &position))) {
                return -1;
            }
            base_ = static_cast<std::int64_t>(position.QuadPart);
        }
        ResetAreas();
        return 0;
    }
    ULONG written = 0;
    const HRESULT hr = stream_->Write(buffer_, static_cast<ULONG>(pending), &written);
    base_ += written;
    ResetAreas();
    if (FAILED(hr) || written != pending) {
        return -1;
    }
    // The put pointer had moved back inside the written bytes: the next byte belongs there, not after them.
    if (offset < pending) {
        ULARGE_INTEGER position{};
        const auto back = static_cast<LONGLONG>(offset) - static_cast<LONGLONG>(pending);
        if (FAILED(stream_->Seek(MakeLargeInteger(back), STREAM_SEEK_CUR, &position))) {
            return -1;
        }
        base_ = static_cast<std::int64_t>(position.QuadPart);
    }
    return 0;
}

StorageStreamBuf::int_type StorageStreamBuf::underflow()
{
    if (!open_ || mode_ == kWrite) {
        return traits_type::eof();
    }
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (sync() != 0) {
        return traits_type::eof();
    }
    ULONG got = 0;
    if (FAILED(stream_->Read(buffer_, static_cast<ULONG>(kBufferSize), &got))) {
        return traits_type::eof();
    }
    got = std::min<ULONG>(got, static_cast<ULONG>(kBufferSize));
    base_ += got;
    setg(buffer_, buffer_, buffer_ + got);
    setp(buffer_, buffer_);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

StorageStreamBuf::int_type StorageStreamBuf::overflow(int_type c)
{
    if (!open_ || mode_ == kRead || sync() != 0) {
        return traits_type::eof();
    }
    setp(buffer_, buffer_ + kBufferSize);
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::eof();
    }
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    // Reading and writing share one position.
    setg(buffer_, pptr(), pptr());
    return c;
}

StorageStreamBuf::pos_type StorageStreamBuf::seekpos(pos_type position, std::ios_base::openmode which)
{
    return seekoff(off_type(position), std::ios_base::beg, which);
}

StorageStreamBuf::pos_type StorageStreamBuf::SeekStream(off_type offset, std::ios_base::seekdir direction)
{
    if (sync() != 0) {
        return pos_type(off_type(-1));
    }
    // After the sync the IStream stands at the logical position, so a relative seek maps straight across.
    const DWORD origin = direction == std::ios_base::beg   ? STREAM_SEEK_SET
                         : direction == std::ios_base::cur ? STREAM_SEEK_CUR
                                                           : STREAM_SEEK_END;
    ULARGE_INTEGER position{};
    if (FAILED(stream_->Seek(MakeLargeInteger(offset), origin, &position))) {
        return pos_type(off_type(-1));
    }
    base_ = static_cast<std::int64_t>(position.QuadPart);
    return pos_type(off_type(base_));
}

StorageStreamBuf::pos_type StorageStreamBuf::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                     std::ios_base::openmode)
{
    if (!open_) {
        return pos_type(off_type(-1));
    }
    const std::int64_t here = Position();
    if (direction == std::ios_base::cur && offset == 0) {
        return pos_type(off_type(here));
    }
    if (direction != std::ios_base::end) {
        const std::int64_t target = direction == std::ios_base::beg ? offset : here + offset;
        if (MoveInside(target)) {
            return pos_type(off_type(target));
        }
    }
    return SeekStream(offset, direction);
}

bool StorageInStreamBuf::MoveInside(std::int64_t target)
{
    const std::int64_t start = base_ - (egptr() - eback());
    if (Writing() || target < start || target > base_) {
        return false;
    }
    setg(eback(), eback() + (target - start), egptr());
    return true;
}

bool StorageOutStreamBuf::MoveInside(std::int64_t target)
{
    if (!Writing()) {
        return false;
    }
    const std::size_t written = std::max(highWater_, static_cast<std::size_t>(pptr() - pbase()));
    if (target < base_ || target > base_ + static_cast<std::int64_t>(written)) {
        return false;
    }
    highWater_ = written;
    setp(pbase(), epptr());
    pbump(static_cast<int>(target - base_));
    return true;
}

// -------------------------------------------------------------------------------------------------------------------
// The IStream variants

StorageBinIStreamLite::StorageBinIStreamLite(IStream* stream) : BinIStream(&storage_, DeferTag{})
{
    if (!storage_.Open(stream)) {
        state_ = kNoBuffer;
    }
    ReadVersionTag();
}

StorageBinIStreamLite::~StorageBinIStreamLite() { storage_.Close(); }

StorageBinOStreamLite::StorageBinOStreamLite(IStream* stream) : BinOStream(&storage_, DeferTag{})
{
    if (!storage_.Open(stream)) {
        state_ = kNoBuffer;
    }
    WriteVersionTag();
}

StorageBinOStreamLite::~StorageBinOStreamLite() { storage_.Close(); }
