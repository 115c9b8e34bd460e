#include "foundation/stringstream.h"

#include <algorithm>
#include <locale>

namespace KVO {

namespace {

// The put area never exceeds this many units.
constexpr std::uint32_t kMaxPutArea = 0x7FFFFFFF;

} // namespace

std::wstring ToWide(std::u16string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            wide.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00)));
            ++i;
        } else {
            wide.push_back(static_cast<wchar_t>(unit));
        }
    }
    return wide;
}

std::wostream& operator<<(std::wostream& out, std::u16string_view text) { return out << ToWide(text); }

std::wostream& operator<<(std::wostream& out, const char16_t* text)
{
    return out << std::u16string_view(text ? text : u"");
}

std::wostream& operator<<(std::wostream& out, const String& text) { return out << text.View(); }

std::wostream& operator<<(std::wostream& out, char16_t unit) { return out << static_cast<wchar_t>(unit); }

// ---- MemStreamBufBase ----

void MemStreamBufBase::SetArea(const Area& area)
{
    units_ = area.units;
    capacity_ = std::min(area.capacity, kMaxPutArea);
    limit_ = capacity_;
    hasArea_ = true;
}

void MemStreamBufBase::ResetArea(char16_t* units, std::uint32_t capacity)
{
    SetArea(Area{units, capacity, 0});
    put_ = end_ = get_ = 0;
    frozen_ = false;
    nulAdded_ = false;
}

bool MemStreamBufBase::Reopen()
{
    // A frozen text has been handed out: continue in a private copy (over the NUL the freeze added) and leave the
    // handed-out text as it is.
    const std::uint32_t written = UnitsWritten();
    std::uint32_t capacity = capacity_;
    if (capacity - std::min(written, capacity) < 8) {
        capacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(2 * std::uint64_t{capacity}, kMaxPutArea));
    }
    const std::uint32_t keep = nulAdded_ ? written - 1 : written;
    try {
        SetArea(Reallocate(capacity, keep));
    } catch (...) {
        return false;
    }
    put_ = end_ = keep;
    get_ = std::min(get_, keep);
    frozen_ = false;
    nulAdded_ = false;
    return true;
}

bool MemStreamBufBase::MakeRoom()
{
    if (frozen_ && hasArea_ && !Reopen()) {
        return false;
    }
    if (!(mode_ & kWrite)) {
        return false;
    }
    try {
        if (!hasArea_) {
            const Area area = GetBuffer();
            SetArea(area);
            put_ = end_ = std::min(area.length, capacity_); // writing appends to the text already there
            get_ = 0;
            frozen_ = false;
        }
        if (put_ >= limit_) {
            const std::uint32_t written = UnitsWritten();
            if (written >= kMaxPutArea) {
                return false;
            }
            const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(2 * std::uint64_t{written}, kMaxPutArea));
            SetArea(Reallocate(std::max(wanted, written + 1), written));
        }
    } catch (...) {
        return false; // a failed reallocation ends the data
    }
    return put_ < limit_;
}

bool MemStreamBufBase::PutUnit(char16_t unit)
{
    if (!(hasArea_ && !frozen_ && put_ < limit_) && !MakeRoom()) {
        return false;
    }
    units_[put_++] = unit;
    return true;
}

bool MemStreamBufBase::PutChar(char_type c)
{
    char16_t units[2];
    const int n = KVOString::ToUtf16(static_cast<std::uint32_t>(c), units);
    return PutUnit(units[0]) && (n == 1 || PutUnit(units[1]));
}

MemStreamBufBase::int_type MemStreamBufBase::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return MakeRoom() || hasArea_ ? 0 : traits_type::eof();
    }
    return PutChar(traits_type::to_char_type(c)) ? c : traits_type::eof();
}

std::streamsize MemStreamBufBase::xsputn(const char_type* s, std::streamsize n)
{
    std::streamsize done = 0;
    while (done < n && PutChar(s[done])) {
        ++done;
    }
    return done;
}

void MemStreamBufBase::FreezeArea()
{
    if (frozen_) {
        return;
    }
    end_ = UnitsWritten();
    std::uint32_t written = end_;
    if (written > 0) {
        if (units_[written - 1] != 0) {
            put_ = written;
            if (PutUnit(0)) {
                nulAdded_ = true;
                ++written;
            } else {
                units_[written - 1] = 0; // no room left at all: the last unit gives way to the NUL
            }
            end_ = written;
        }
        StoreLength(written);
    }
    limit_ = put_;
    frozen_ = true;
}

MemStreamBufBase::int_type MemStreamBufBase::underflow()
{
    if (!(mode_ & kRead) || !hasArea_ || get_ >= UnitsWritten()) {
        return traits_type::eof();
    }
    return traits_type::to_int_type(static_cast<wchar_t>(units_[get_]));
}

MemStreamBufBase::int_type MemStreamBufBase::uflow()
{
    const int_type c = underflow();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        ++get_;
    }
    return c;
}

MemStreamBufBase::int_type MemStreamBufBase::pbackfail(int_type c)
{
    if (!hasArea_ || get_ == 0) {
        return traits_type::eof();
    }
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        --get_;
        return traits_type::not_eof(c);
    }
    if (static_cast<wchar_t>(units_[get_ - 1]) != traits_type::to_char_type(c)) {
        return traits_type::eof();
    }
    --get_;
    return c;
}

std::streamsize MemStreamBufBase::showmanyc()
{
    if (!(mode_ & kRead) || !hasArea_ || get_ >= UnitsWritten()) {
        return -1;
    }
    return UnitsWritten() - get_;
}

MemStreamBufBase::pos_type MemStreamBufBase::seekoff(off_type off, std::ios_base::seekdir dir,
                                                     std::ios_base::openmode which)
{
    const pos_type fail(off_type(-1));
    if (frozen_ && hasArea_ && !Reopen()) {
        return fail;
    }
    const bool in = (which & std::ios_base::in) != 0;
    const bool out = (which & std::ios_base::out) != 0;
    if (dir == std::ios_base::end || (!in && !out) || (in && out && dir == std::ios_base::cur)) {
        return fail;
    }
    if ((in && !(mode_ & kRead)) || (out && (!(mode_ & kWrite) || (mode_ & kAppend)))) {
        return fail;
    }
    const std::uint32_t written = UnitsWritten();
    const off_type base = dir == std::ios_base::beg ? 0 : (in ? get_ : put_);
    const off_type target = base + off;
    if (target < 0 || target > static_cast<off_type>(written)) {
        return fail;
    }
    end_ = written;
    if (in) {
        get_ = static_cast<std::uint32_t>(target);
    }
    if (out) {
        put_ = static_cast<std::uint32_t>(target);
    }
    return pos_type(target);
}

MemStreamBufBase::pos_type MemStreamBufBase::seekpos(pos_type pos, std::ios_base::openmode which)
{
    return seekoff(off_type(pos), std::ios_base::beg, which);
}

// ---- StringStreamBuf ----

MemStreamBufBase::Area StringStreamBuf::GetBuffer()
{
    string_.Reserve(string_.Capacity());
    KVOString::StringRep* rep = string_.Rep();
    return Area{rep->Text(), rep->capacity, rep->length - 1};
}

MemStreamBufBase::Area StringStreamBuf::Reallocate(std::uint32_t units, std::uint32_t written)
{
    KVOString::StringRep* rep = string_.Rep();
    if (rep->refCount <= 1 && rep->capacity == units) {
        rep->ansiValid = 0;
    } else {
        // Copy without touching the old representation: it may be a text already handed out.
        KVOString::StringRep* fresh = KVOString::StringRep::Create(std::max<std::uint32_t>(units, 8));
        std::copy_n(rep->Text(), std::min(written, fresh->capacity), fresh->Text());
        string_.Install(fresh);
        rep = fresh;
    }
    if (written < rep->capacity) {
        rep->Text()[written] = 0;
        rep->length = written + 1;
    }
    return Area{rep->Text(), rep->capacity, std::min(written, rep->capacity)};
}

void StringStreamBuf::StoreLength(std::uint32_t written)
{
    KVOString::StringRep* rep = string_.Rep();
    rep->length = written;
    rep->ansiValid = 0;
}

String StringStreamBuf::str()
{
    FreezeArea();
    return string_;
}

const char16_t* StringStreamBuf::Freeze()
{
    FreezeArea();
    return string_.c_str();
}

IKVOString* StringStreamBuf::GetRep()
{
    FreezeArea();
    return string_.GetInterface();
}

void StringStreamBuf::Clear()
{
    KVOString::MakeEmpty(string_);
    KVOString::StringRep* rep = string_.Rep();
    ResetArea(rep->Text(), rep->capacity);
}

// ---- OStringStream ----

OStringStream::OStringStream() { init(&buffer_); }

OStringStream& OStringStream::operator<<(const char16_t* text)
{
    static_cast<std::wostream&>(*this) << text;
    return *this;
}

OStringStream& OStringStream::operator<<(const String& text)
{
    static_cast<std::wostream&>(*this) << text;
    return *this;
}

OStringStream& OStringStream::operator<<(char16_t unit)
{
    static_cast<std::wostream&>(*this) << unit;
    return *this;
}

OStringStream& OStringStream::operator<<(std::wostream& (*manipulator)(std::wostream&))
{
    manipulator(*this);
    return *this;
}

OStringStream& OStringStream::operator<<(std::wios& (*manipulator)(std::wios&))
{
    manipulator(*this);
    return *this;
}

OStringStream& OStringStream::operator<<(std::ios_base& (*manipulator)(std::ios_base&))
{
    manipulator(*this);
    return *this;
}

namespace Automation {
ClassicOStringStream::ClassicOStringStream() { imbue(std::locale::classic()); }
} // namespace Automation

} // namespace KVO
