// A port of the standard strstreambuf and ostrstream to any character type, used with wide units: a buffer over a
// caller's array (fixed or constant) or a dynamic buffer that grows, as the standard's does. One static wide
// stream of this kind exists over a static array of 65536 units for the life of the module.
#pragma once

#include <cstddef>
#include <ios>
#include <ostream>
#include <streambuf>

namespace KVO {

template <class CharT>
class basic_strstreambuf : public std::basic_streambuf<CharT> {
public:
    using traits_type = std::char_traits<CharT>;
    using int_type = typename traits_type::int_type;
    using pos_type = typename traits_type::pos_type;
    using off_type = typename traits_type::off_type;
    using AllocFunction = void* (*)(std::size_t bytes);
    using FreeFunction = void (*)(void* units);

    enum ModeBits : int { kAllocated = 1, kConstant = 2, kDynamic = 4, kFrozen = 8 };
    static constexpr std::streamsize kMinimumAllocation = 32;

    // Dynamic: grows as it is written, the first allocation at least `initialUnits` (and 32) units.
    explicit basic_strstreambuf(std::streamsize initialUnits = 0);
    // Dynamic, allocating and freeing through the functions (new[] and delete[] for a null one).
    basic_strstreambuf(AllocFunction allocate, FreeFunction free);
    // Over the caller's array of `units` (0: up to its NUL; a negative count is taken as 0): read from `next`;
    // with `putStart`, written from there to the array's end and read up to it.
    basic_strstreambuf(CharT* next, std::streamsize units, CharT* putStart = nullptr);
    // Over a constant array: read only.
    basic_strstreambuf(const CharT* next, std::streamsize units);
    ~basic_strstreambuf() override;
    basic_strstreambuf(const basic_strstreambuf&) = delete;
    basic_strstreambuf& operator=(const basic_strstreambuf&) = delete;

    int Mode() const { return mode_; }
    // A frozen dynamic buffer neither grows nor is freed by the destructor.
    void freeze(bool frozen = true);
    // Freezes the buffer and hands out its start (nothing is added: end the text with a NUL to read it as one).
    CharT* str();
    // The units put so far.
    std::streamsize pcount() const;

protected:
    int_type overflow(int_type c) override;
    int_type pbackfail(int_type c) override;
    int_type underflow() override;
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
    std::basic_streambuf<CharT>* setbuf(CharT*, std::streamsize) override { return this; }

private:
    void Open(CharT* next, std::streamsize units, CharT* putStart);
    CharT* Allocate(std::streamsize units);
    void Free(CharT* units);
    CharT* HighWater() const;

    int mode_ = kDynamic;
    std::streamsize initialUnits_ = 0;
    AllocFunction allocate_ = nullptr;
    FreeFunction free_ = nullptr;
};

template <class CharT>
class basic_ostrstream : public std::basic_ostream<CharT> {
public:
    // Into a dynamic buffer.
    basic_ostrstream();
    // Into the caller's array of `units`; with app, after the text already there (up to its NUL).
    basic_ostrstream(CharT* units, int size, std::ios_base::openmode mode = std::ios_base::out);

    basic_strstreambuf<CharT>* rdbuf() const { return const_cast<basic_strstreambuf<CharT>*>(&buffer_); }
    void freeze(bool frozen = true) { buffer_.freeze(frozen); }
    CharT* str() { return buffer_.str(); }
    std::streamsize pcount() const { return buffer_.pcount(); }

private:
    basic_strstreambuf<CharT> buffer_;
};

extern template class basic_strstreambuf<wchar_t>;
extern template class basic_ostrstream<wchar_t>;

// The static wide stream over its array of 65536 units (nothing writes to it).
inline constexpr std::streamsize kStaticWideStreamUnits = 65536;
basic_ostrstream<wchar_t>& StaticWideStream();

} // namespace KVO
