// Wide output streams that write straight into a KVO::String.
//
// The streams are std::wostream (whose number facets exist for wchar_t) over a stream buffer of ours that keeps no
// wchar_t put area: every wchar_t is turned into one or two UTF-16 units and stored directly in the string's
// representation, so taking the text costs no copy. wchar_t is UTF-32 here; UTF-16 text never travels as wchar_t.
#pragma once

#include "foundation/kvostring.h"

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <type_traits>

namespace KVO {

// UTF-16 text as UTF-32 wide text (surrogate pairs joined; lone surrogates pass through as their value).
std::wstring ToWide(std::u16string_view text);

// Formatted insertion of UTF-16 text into any wide stream (honours width and fill like wide text does).
std::wostream& operator<<(std::wostream& out, const char16_t* text);
std::wostream& operator<<(std::wostream& out, std::u16string_view text);
std::wostream& operator<<(std::wostream& out, const String& text);
std::wostream& operator<<(std::wostream& out, char16_t unit);

// A wide stream buffer over UTF-16 units held by a derived class. Writes go through overflow/xsputn (there is no
// wchar_t put area); reads go through underflow/uflow, one UTF-16 unit per wchar_t.
class MemStreamBufBase : public std::basic_streambuf<wchar_t> {
public:
    enum ModeBits : int { kRead = 1, kWrite = 2, kAppend = 8 };

    int Mode() const { return mode_; }
    bool IsFrozen() const { return frozen_; }
    // Units written so far (the high-water mark of the put position).
    std::uint32_t UnitsWritten() const { return put_ > end_ ? put_ : end_; }

protected:
    MemStreamBufBase() = default;

    struct Area {
        char16_t* units;
        std::uint32_t capacity;
        std::uint32_t length; // units of text already there
    };
    // The buffer to write into, made private at its current capacity.
    virtual Area GetBuffer() = 0;
    // A private buffer of `units` capacity holding the first `written` units of the current one.
    virtual Area Reallocate(std::uint32_t units, std::uint32_t written) = 0;
    // Records the units written (counting the NUL that ends them) as the text's length.
    virtual void StoreLength(std::uint32_t written) = 0;

    // Ends the text with a NUL, stores its length and collapses the put area until the next write.
    void FreezeArea();
    // Points the put area at the start of a new empty buffer.
    void ResetArea(char16_t* units, std::uint32_t capacity);

    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char_type* s, std::streamsize n) override;
    int_type underflow() override;
    int_type uflow() override;
    int_type pbackfail(int_type c) override;
    std::streamsize showmanyc() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

private:
    bool PutUnit(char16_t unit);
    bool PutChar(char_type c);
    bool MakeRoom();
    bool Reopen();
    void SetArea(const Area& area);

    int mode_ = kRead | kWrite;
    char16_t* units_ = nullptr;
    std::uint32_t capacity_ = 0; // the put area's size
    std::uint32_t limit_ = 0;    // writes beyond this need overflow (collapsed to put_ when frozen)
    std::uint32_t put_ = 0;
    std::uint32_t end_ = 0;      // high-water mark when the put position was moved back
    std::uint32_t get_ = 0;
    bool hasArea_ = false;
    bool frozen_ = false;
    bool nulAdded_ = false;      // FreezeArea ended the text with a NUL of its own
};

// The buffer of OStringStream: its put area is the buffer of a KVO::String.
class StringStreamBuf : public MemStreamBufBase {
public:
    StringStreamBuf() = default;

    // The text written so far, sharing the buffer's representation; freezes the buffer (a later write copies).
    String str();
    // The same, as the raw text pointer (no new reference) or as a new interface reference for the host.
    const char16_t* Freeze();
    IKVOString* GetRep();
    // Empties the text (private, same capacity) and starts writing at its beginning.
    void Clear();

protected:
    Area GetBuffer() override;
    Area Reallocate(std::uint32_t units, std::uint32_t written) override;
    void StoreLength(std::uint32_t written) override;

private:
    String string_;
};

namespace detail {
template <class T>
void Insert(std::wostream& out, const T& value)
{
    out << value;
}
} // namespace detail

// A wide output stream writing into a KVO::String. Insertion returns the stream itself so that UTF-16 texts can
// follow any other value in one chain.
class OStringStream : public std::wostream {
public:
    OStringStream();
    OStringStream(const OStringStream&) = delete;
    OStringStream& operator=(const OStringStream&) = delete;

    String str() { return buffer_.str(); }
    const char16_t* Freeze() { return buffer_.Freeze(); }
    IKVOString* GetRep() { return buffer_.GetRep(); }
    void Clear() { buffer_.Clear(); }
    StringStreamBuf* rdbuf() { return &buffer_; }

    template <class T>
    OStringStream& operator<<(const T& value)
    {
        detail::Insert(*this, value);
        return *this;
    }
    OStringStream& operator<<(const char16_t* text);
    OStringStream& operator<<(const String& text);
    OStringStream& operator<<(char16_t unit);
    OStringStream& operator<<(std::wostream& (*manipulator)(std::wostream&));
    OStringStream& operator<<(std::wios& (*manipulator)(std::wios&));
    OStringStream& operator<<(std::ios_base& (*manipulator)(std::ios_base&));

private:
    StringStreamBuf buffer_;
};

namespace Automation {
// Numbers in the classic "C" form whatever the user's locale: for calculation and settings texts.
class ClassicOStringStream : public OStringStream {
public:
    ClassicOStringStream();
};
} // namespace Automation

} // namespace KVO
