// The tagged stream format: a flat run of little-endian values behind a 4-byte version tag, written by
// KVO::BinOStream and read back by KVO::BinIStream over any narrow stream buffer. StorageBinOStreamLite and
// StorageBinIStreamLite carry their own buffer over a COM IStream (the host document's stream).
//
// Both streams are COM-style objects so that other components can be handed them, but they are not reference
// counted: QueryInterface answers E_NOTIMPL, AddRef and Release answer 1, and the owner creates and destroys them.
#pragma once

#include "foundation/kvostring.h"
#include "platform/com/objidl.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <streambuf>
#include <string_view>
#include <vector>

// Reads never store a result while the stream has failed (only ReadByte then gives 0).
struct IBinInStream : IUnknown {
    virtual HRESULT GetStatus() = 0;                         // 3: E_FAIL once the stream has failed
    virtual HRESULT Tell(DWORD* position) = 0;               // 4
    virtual HRESULT Unused5() = 0;                           // 5
    virtual HRESULT ReadByte(BYTE* value) = 0;               // 6
    virtual HRESULT ReadShort(SHORT* value) = 0;             // 7
    virtual HRESULT ReadLong(LONG* value) = 0;               // 8
    virtual HRESULT ReadFloat(float* value) = 0;             // 9
    virtual HRESULT ReadDouble(double* value) = 0;           // 10
    virtual HRESULT ReadBlock(void* data, ULONG bytes) = 0;  // 11
    virtual HRESULT Unused12() = 0;                          // 12
    virtual HRESULT Unused13() = 0;                          // 13
    virtual HRESULT Unused14() = 0;                          // 14
    virtual HRESULT Unused15() = 0;                          // 15
    virtual HRESULT Unused16() = 0;                          // 16
    virtual HRESULT Unused17() = 0;                          // 17
    virtual HRESULT ReadStringRep(IKVOString** out) = 0;     // 18: a new reference
    virtual HRESULT GetVersion(LONG* version) = 0;           // 19
    virtual HRESULT ReadUShort(USHORT* value) = 0;           // 20
    virtual HRESULT ReadULong(ULONG* value) = 0;             // 21
    virtual HRESULT ReadLongLong(LONGLONG* value) = 0;       // 22
    virtual HRESULT ReadULongLong(ULONGLONG* value) = 0;     // 23

protected:
    ~IBinInStream() = default;
};

// Writes do nothing once the stream has failed.
struct IBinOutStream : IUnknown {
    virtual HRESULT GetStatus() = 0;                               // 3
    virtual HRESULT Tell(DWORD* position) = 0;                     // 4
    virtual HRESULT Seek(DWORD position) = 0;                      // 5: from the start
    virtual HRESULT Unused6() = 0;                                 // 6
    virtual HRESULT WriteByte(BYTE value) = 0;                     // 7
    virtual HRESULT WriteShort(LONG value) = 0;                    // 8: the value modulo 0x10000
    virtual HRESULT WriteLong(LONG value) = 0;                     // 9
    virtual HRESULT WriteFloat(float value) = 0;                   // 10
    virtual HRESULT WriteDouble(double value) = 0;                 // 11
    virtual HRESULT WriteBlock(const void* data, ULONG bytes) = 0; // 12
    virtual HRESULT Unused13() = 0;                                // 13
    virtual HRESULT Unused14() = 0;                                // 14
    virtual HRESULT Unused15() = 0;                                // 15
    virtual HRESULT Unused16() = 0;                                // 16
    virtual HRESULT Unused17() = 0;                                // 17
    virtual HRESULT Unused18() = 0;                                // 18
    virtual HRESULT WriteStringRep(IAutoKVOString* text) = 0;      // 19: null writes the empty string
    virtual HRESULT WriteLongLong(DWORD low, DWORD high) = 0;      // 20
    virtual HRESULT Flush() = 0;                                   // 21
    virtual HRESULT Close() = 0;                                   // 22

protected:
    ~IBinOutStream() = default;
};

namespace KVO {

// An object handed to a stream for its lifetime; the stream releases it when it ends.
struct IBinStreamAttachment {
    virtual void Release() = 0;

protected:
    ~IBinStreamAttachment() = default;
};

inline constexpr std::uint32_t kBinStreamTag = 0x5515AAAAu; // format version 21
inline constexpr std::uint32_t kBinStreamTagMask = 0xFF00FFFFu;
inline constexpr std::uint32_t kBinStreamTagPattern = 0x5500AAAAu;
inline constexpr std::uint32_t kBinStreamStringMarker = 0x80000001u;

class BinStream {
public:
    // The state word; once not good it stays so, and no further transfer is attempted.
    static constexpr int kGood = 0;
    static constexpr int kShortTransfer = 2; // fewer bytes moved than asked, or a failed seek or tell
    static constexpr int kNoBuffer = 4;      // no buffer, a failed open or a failed flush

    BinStream(const BinStream&) = delete;
    BinStream& operator=(const BinStream&) = delete;

    std::streambuf* Buffer() const { return buffer_; }
    int State() const { return state_; }
    bool Good() const { return state_ == kGood; }
    // For code that moves bytes through Buffer() itself: records a failure unless one is recorded already.
    void SetFailure(int state)
    {
        if (state_ == kGood) state_ = state;
    }

protected:
    BinStream(std::streambuf* buffer, bool ownsBuffer);
    ~BinStream();

    HRESULT StatusResult() const { return state_ == kGood ? S_OK : E_FAIL; }
    // The streams answer no interface query.
    static HRESULT NoInterface(void** out);
    // Moves exactly n bytes or records a short transfer; false when the stream is (or becomes) failed.
    bool Get(void* bytes, std::size_t n);
    bool Put(const void* bytes, std::size_t n);
    // The buffer position of one side as 32 bits, or a recorded failure.
    HRESULT TellSide(std::ios_base::openmode side, DWORD* position);

    std::streambuf* buffer_;
    int state_;
    bool ownsBuffer_;
};

class BinIStream : public BinStream, public IBinInStream {
public:
    // Reads the version tag at once; data without a tag is read as version 1 from its first byte.
    explicit BinIStream(std::streambuf* buffer, bool ownsBuffer = false, IBinStreamAttachment* attachment = nullptr);
    ~BinIStream();

    HRESULT QueryInterface(REFIID, void** out) override { return NoInterface(out); }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT GetStatus() override { return StatusResult(); }
    HRESULT Tell(DWORD* position) override;
    HRESULT Unused5() override { return E_NOTIMPL; }
    HRESULT ReadByte(BYTE* value) override;
    HRESULT ReadShort(SHORT* value) override;
    HRESULT ReadLong(LONG* value) override;
    HRESULT ReadFloat(float* value) override;
    HRESULT ReadDouble(double* value) override;
    HRESULT ReadBlock(void* data, ULONG bytes) override;
    HRESULT Unused12() override { return E_NOTIMPL; }
    HRESULT Unused13() override { return E_NOTIMPL; }
    HRESULT Unused14() override { return E_NOTIMPL; }
    HRESULT Unused15() override { return E_NOTIMPL; }
    HRESULT Unused16() override { return E_NOTIMPL; }
    HRESULT Unused17() override { return E_NOTIMPL; }
    HRESULT ReadStringRep(IKVOString** out) override;
    HRESULT GetVersion(LONG* version) override;
    HRESULT ReadUShort(USHORT* value) override;
    HRESULT ReadULong(ULONG* value) override;
    HRESULT ReadLongLong(LONGLONG* value) override;
    HRESULT ReadULongLong(ULONGLONG* value) override;

    // Reads one string record in the layout of this stream's version. A bad header (a count that fails its check
    // word, is negative, or cannot fit) throws XKVO 0xA0048203 and leaves the state alone; a failed transfer leaves
    // the target empty.
    void ReadString(KVO::String& target);
    // Several longs in one transfer (at most 16), as ReadLong reads each; nothing is stored when the transfer fails.
    HRESULT ReadLongs(LONG* values, std::size_t count);
    LONG Version() const { return version_; }

protected:
    struct DeferTag {};
    // For variants that open their buffer first and then call ReadVersionTag.
    BinIStream(std::streambuf* buffer, DeferTag);
    void ReadVersionTag();

private:
    template <class T>
    HRESULT ReadValue(T* value);
    // Bytes between the read position and the end, when the buffer can say.
    bool RemainingBytes(std::uint64_t& remaining);
    // True when the buffer holds at least `bytes` unread bytes already.
    bool Buffered(std::uint64_t bytes);
    // Reads count bytes in pieces, so that a count beyond the data allocates no more than what arrived.
    bool ReadBytes(std::vector<unsigned char>& out, std::uint64_t count);

    LONG version_ = 0;
    IBinStreamAttachment* attachment_ = nullptr;
};

class BinOStream : public BinStream, public IBinOutStream {
public:
    // Writes the version tag at once.
    explicit BinOStream(std::streambuf* buffer, bool ownsBuffer = false, IBinStreamAttachment* attachment = nullptr);
    ~BinOStream();

    HRESULT QueryInterface(REFIID, void** out) override { return NoInterface(out); }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT GetStatus() override { return StatusResult(); }
    HRESULT Tell(DWORD* position) override;
    HRESULT Seek(DWORD position) override;
    HRESULT Unused6() override { return E_NOTIMPL; }
    HRESULT WriteByte(BYTE value) override;
    HRESULT WriteShort(LONG value) override;
    HRESULT WriteLong(LONG value) override;
    HRESULT WriteFloat(float value) override;
    HRESULT WriteDouble(double value) override;
    HRESULT WriteBlock(const void* data, ULONG bytes) override;
    HRESULT Unused13() override { return E_NOTIMPL; }
    HRESULT Unused14() override { return E_NOTIMPL; }
    HRESULT Unused15() override { return E_NOTIMPL; }
    HRESULT Unused16() override { return E_NOTIMPL; }
    HRESULT Unused17() override { return E_NOTIMPL; }
    HRESULT Unused18() override { return E_NOTIMPL; }
    HRESULT WriteStringRep(IAutoKVOString* text) override;
    HRESULT WriteLongLong(DWORD low, DWORD high) override;
    HRESULT Flush() override;
    // Flushes and lets go of the attachment. The position stays where it is, so nothing written is overwritten.
    HRESULT Close() override;

    // The string record: marker, n, -n, then the n UTF-16 units of the text with its NUL.
    void WriteString(const KVO::String& text);
    // The string record of a text given as units (without a NUL), as WriteString writes a string of them.
    void WriteText(std::u16string_view text);
    // Several longs in one transfer, as WriteLong writes each.
    void WriteLongs(std::initializer_list<LONG> values);

protected:
    struct DeferTag {};
    // For variants that open their buffer first and then call WriteVersionTag.
    BinOStream(std::streambuf* buffer, DeferTag);
    void WriteVersionTag();

private:
    void PutU32(std::uint32_t value);
    void WriteRep(const KVOString::StringRep* rep);
    // A string record of n units; the units end in their NUL unless `addNul`, which adds one.
    void WriteUnits(const char16_t* text, std::uint32_t n, bool addNul);
    void ReleaseAttachment();

    IBinStreamAttachment* attachment_ = nullptr;
};

} // namespace KVO

// A narrow stream buffer over a COM IStream, with one 1024-byte buffer that reading and writing share. Written bytes
// reach the IStream only when the buffer is synchronised or closed.
class StorageStreamBuf : public std::streambuf {
public:
    static constexpr std::size_t kBufferSize = 1024;
    enum Mode : int { kNoMode = 0, kRead = 1, kWrite = 2, kReadWrite = 3 };

    StorageStreamBuf(const StorageStreamBuf&) = delete;
    StorageStreamBuf& operator=(const StorageStreamBuf&) = delete;
    ~StorageStreamBuf() override;

    // Holds one reference to the stream while open. False when already open, or when the stream cannot tell its
    // mode or position.
    bool Open(IStream* stream);
    // Writes what is pending and lets go of the stream; false when the pending bytes could not be written.
    bool Close();
    bool IsOpen() const { return open_; }
    Mode GetMode() const { return mode_; }

protected:
    StorageStreamBuf();

    int_type underflow() override;
    int_type overflow(int_type c) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
    // Moves to an absolute position inside the buffered bytes without touching the IStream, when it can.
    virtual bool MoveInside(std::int64_t target) = 0;

    bool Writing() const { return epptr() != pbase(); }
    // The logical position: where the next byte is read or written.
    std::int64_t Position() const;
    // A seek that the buffer cannot answer itself: synchronise, then move the IStream.
    pos_type SeekStream(off_type offset, std::ios_base::seekdir direction);
    void ResetAreas();

    IStream* stream_ = nullptr;
    Mode mode_ = kNoMode;
    bool open_ = false;
    std::int64_t base_ = 0;        // the IStream's position: the end of the get area, or the start of the put area
    std::size_t highWater_ = 0;    // bytes of the put area already written when the put pointer moved back
    char buffer_[kBufferSize];
};

// Seeks move the get pointer inside the bytes the buffer holds.
class StorageInStreamBuf final : public StorageStreamBuf {
protected:
    bool MoveInside(std::int64_t target) override;
};

// Seeks move the put pointer inside the bytes written so far without writing them.
class StorageOutStreamBuf final : public StorageStreamBuf {
protected:
    bool MoveInside(std::int64_t target) override;
};

// A reader over an IStream; state 4 when the stream cannot be opened.
class StorageBinIStreamLite : public KVO::BinIStream {
public:
    explicit StorageBinIStreamLite(IStream* stream);
    ~StorageBinIStreamLite();

private:
    StorageInStreamBuf storage_;
};

// A writer over an IStream that starts with the version tag; state 4 when the stream cannot be opened. Data reaches
// the IStream on Flush and when the writer ends.
class StorageBinOStreamLite : public KVO::BinOStream {
public:
    explicit StorageBinOStreamLite(IStream* stream);
    ~StorageBinOStreamLite();

private:
    StorageOutStreamBuf storage_;
};
