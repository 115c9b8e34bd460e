#include "foundation/strstream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace KVO {

template <class CharT>
basic_strstreambuf<CharT>::basic_strstreambuf(std::streamsize initialUnits) : initialUnits_(initialUnits)
{
}

template <class CharT>
basic_strstreambuf<CharT>::basic_strstreambuf(AllocFunction allocate, FreeFunction free)
    : allocate_(allocate), free_(free)
{
}

template <class CharT>
basic_strstreambuf<CharT>::basic_strstreambuf(CharT* next, std::streamsize units, CharT* putStart) : mode_(0)
{
    Open(next, units, putStart);
}

template <class CharT>
basic_strstreambuf<CharT>::basic_strstreambuf(const CharT* next, std::streamsize units) : mode_(kConstant)
{
    Open(const_cast<CharT*>(next), units, nullptr);
}

template <class CharT>
void basic_strstreambuf<CharT>::Open(CharT* next, std::streamsize units, CharT* putStart)
{
    const std::streamsize size = units > 0 ? units : static_cast<std::streamsize>(traits_type::length(next));
    CharT* end = next + size;
    if (putStart) {
        this->setg(next, next, putStart);
        this->setp(putStart, end);
    } else {
        this->setg(next, next, end);
    }
}

template <class CharT>
basic_strstreambuf<CharT>::~basic_strstreambuf()
{
    if ((mode_ & kAllocated) && !(mode_ & kFrozen)) {
        Free(this->eback());
    }
}

template <class CharT>
void basic_strstreambuf<CharT>::freeze(bool frozen)
{
    if (mode_ & kDynamic) {
        mode_ = frozen ? mode_ | kFrozen : mode_ & ~kFrozen;
    }
}

template <class CharT>
CharT* basic_strstreambuf<CharT>::str()
{
    freeze();
    return this->eback();
}

template <class CharT>
std::streamsize basic_strstreambuf<CharT>::pcount() const
{
    return this->pptr() ? this->pptr() - this->pbase() : 0;
}

template <class CharT>
CharT* basic_strstreambuf<CharT>::Allocate(std::streamsize units)
{
    if (allocate_) {
        return static_cast<CharT*>(allocate_(static_cast<std::size_t>(units) * sizeof(CharT)));
    }
    return new (std::nothrow) CharT[static_cast<std::size_t>(units)];
}

template <class CharT>
void basic_strstreambuf<CharT>::Free(CharT* units)
{
    if (free_) {
        free_(units);
    } else {
        delete[] units;
    }
}

// The end of what was written or given to read.
template <class CharT>
CharT* basic_strstreambuf<CharT>::HighWater() const
{
    return this->pptr() && this->pptr() > this->egptr() ? this->pptr() : this->egptr();
}

template <class CharT>
typename basic_strstreambuf<CharT>::int_type basic_strstreambuf<CharT>::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    if (!this->pptr() || this->pptr() == this->epptr()) {
        if (!(mode_ & kDynamic) || (mode_ & (kFrozen | kConstant))) {
            return traits_type::eof();
        }
        CharT* old = this->eback();
        const std::streamsize oldSize = old ? this->epptr() - old : 0;
        const std::streamsize size = std::max({2 * oldSize, initialUnits_, kMinimumAllocation});
        CharT* units = Allocate(size);
        if (!units) {
            return traits_type::eof();
        }
        const std::streamsize put = this->pptr() ? this->pptr() - old : 0;
        const std::streamsize get = old ? this->gptr() - old : 0;
        const std::streamsize readable = old ? HighWater() - old : 0;
        if (oldSize > 0) {
            traits_type::copy(units, old, static_cast<std::size_t>(oldSize));
        }
        if (mode_ & kAllocated) {
            Free(old);
        }
        mode_ |= kAllocated;
        this->setp(units, units + size);
        this->pbump(static_cast<int>(put));
        this->setg(units, units + get, units + readable);
    }
    *this->pptr() = traits_type::to_char_type(c);
    this->pbump(1);
    return c;
}

template <class CharT>
typename basic_strstreambuf<CharT>::int_type basic_strstreambuf<CharT>::pbackfail(int_type c)
{
    if (this->gptr() == this->eback()) {
        return traits_type::eof();
    }
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        this->gbump(-1);
        return traits_type::not_eof(c);
    }
    if (traits_type::eq(traits_type::to_char_type(c), this->gptr()[-1])) {
        this->gbump(-1);
        return c;
    }
    if (mode_ & kConstant) {
        return traits_type::eof();
    }
    this->gbump(-1);
    *this->gptr() = traits_type::to_char_type(c);
    return c;
}

template <class CharT>
typename basic_strstreambuf<CharT>::int_type basic_strstreambuf<CharT>::underflow()
{
    if (this->gptr() == this->egptr() && this->pptr() && this->pptr() > this->egptr()) {
        this->setg(this->eback(), this->gptr(), this->pptr());
    }
    return this->gptr() && this->gptr() < this->egptr() ? traits_type::to_int_type(*this->gptr())
                                                         : traits_type::eof();
}

template <class CharT>
typename basic_strstreambuf<CharT>::pos_type
basic_strstreambuf<CharT>::seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which)
{
    const bool in = (which & std::ios_base::in) != 0;
    const bool out = (which & std::ios_base::out) != 0;
    const pos_type failed(off_type(-1));
    if ((!in && !out) || (in && out && dir == std::ios_base::cur) || (in && !this->gptr()) ||
        (out && !this->pptr())) {
        return failed;
    }
    CharT* begin = this->eback() ? this->eback() : this->pbase();
    CharT* high = HighWater();
    // What was written stays readable and reachable after the put position moves back.
    this->setg(begin, this->gptr() ? this->gptr() : begin, high);
    off_type base = 0;
    if (dir == std::ios_base::cur) {
        base = in ? this->gptr() - begin : this->pptr() - begin;
    } else if (dir == std::ios_base::end) {
        base = high - begin;
    }
    const off_type position = base + off;
    // Put positions start at pbase, which for an array with a separate put area is not the array's start.
    const off_type lowest = out ? this->pbase() - begin : 0;
    if (position < lowest || position > high - begin) {
        return failed;
    }
    if (in) {
        this->setg(begin, begin + position, high);
    }
    if (out) {
        this->setp(this->pbase(), this->epptr());
        this->pbump(static_cast<int>(position - lowest));
    }
    return pos_type(position);
}

template <class CharT>
typename basic_strstreambuf<CharT>::pos_type basic_strstreambuf<CharT>::seekpos(pos_type pos,
                                                                                 std::ios_base::openmode which)
{
    return seekoff(off_type(pos), std::ios_base::beg, which);
}

namespace {
// Where an array stream starts writing: after the text already there (never past the array) when appending.
template <class CharT>
std::size_t AppendAt(const CharT* units, int size, std::ios_base::openmode mode)
{
    if (!(mode & std::ios_base::app)) {
        return 0;
    }
    const std::size_t length = std::char_traits<CharT>::length(units);
    return size > 0 ? std::min(length, static_cast<std::size_t>(size)) : length;
}
} // namespace

template <class CharT>
basic_ostrstream<CharT>::basic_ostrstream() : std::basic_ostream<CharT>(nullptr)
{
    this->init(&buffer_);
}

template <class CharT>
basic_ostrstream<CharT>::basic_ostrstream(CharT* units, int size, std::ios_base::openmode mode)
    : std::basic_ostream<CharT>(nullptr),
      buffer_(units, size, units + AppendAt(units, size, mode))
{
    this->init(&buffer_);
}

template class basic_strstreambuf<wchar_t>;
template class basic_ostrstream<wchar_t>;

namespace {
wchar_t g_staticUnits[kStaticWideStreamUnits];
basic_ostrstream<wchar_t> g_staticStream(g_staticUnits, static_cast<int>(kStaticWideStreamUnits));
} // namespace

basic_ostrstream<wchar_t>& StaticWideStream() { return g_staticStream; }

} // namespace KVO
