#include "foundation/kvostring.h"

#include "foundation/xkvo.h"
#include "platform/win/codepage.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <locale>
#include <memory>
#include <new>
#include <string>

namespace KVOString {

namespace {

StringRep* g_emptyRep = nullptr;

// Drops the module's reference to the empty representation when the module goes away.
struct EmptyRepReleaser {
    ~EmptyRepReleaser() { StringRep::ReleaseEmptyRep(); }
};

std::uint32_t AtLeast8(std::uint64_t units)
{
    if (units > kMaxUnits) {
        throw xmsg("KVO::String size too big");
    }
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(units, 8));
}

std::uint32_t UnitsToNul(const char16_t* text)
{
    std::uint32_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

} // namespace

void StringRepBase::DeleteThis()
{
    auto* rep = static_cast<StringRep*>(this);
    delete[] rep->ansiCopy;
    rep->~StringRep();
    ::operator delete(static_cast<void*>(rep));
}

StringRep* StringRep::Create(std::uint32_t capacity)
{
    if (capacity == 0 || capacity > kMaxUnits) {
        throw xmsg("KVO::String size too big");
    }
    void* block = ::operator new(sizeof(StringRep) + sizeof(char16_t) * std::size_t{capacity});
    auto* rep = new (block) StringRep();
    rep->capacity = capacity;
    rep->length = 1;
    rep->Text()[0] = 0;
    return rep;
}

StringRep* StringRep::GetEmptyRep()
{
    if (!g_emptyRep) {
        StringRep* rep = Create(9);
        std::fill_n(rep->Text(), 9, char16_t{0});
        g_emptyRep = rep;
        static EmptyRepReleaser releaser;
    }
    return g_emptyRep;
}

void StringRep::ReleaseEmptyRep()
{
    if (StringRep* rep = g_emptyRep) {
        g_emptyRep = nullptr;
        rep->Release();
    }
}

const char* StringRep::Ansi(UINT codePage)
{
    if (ansiValid && ansiCopy) {
        return ansiCopy;
    }
    const int units = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(codePage, 0, Text(), units, nullptr, 0, nullptr, nullptr);
    std::unique_ptr<char[]> copy(new char[bytes > 0 ? bytes + 1 : 1]);
    copy[0] = 0;
    if (bytes > 0) {
        WideCharToMultiByte(codePage, 0, Text(), units, copy.get(), bytes, nullptr, nullptr);
        copy[bytes] = 0;
    }
    delete[] ansiCopy;
    ansiCopy = copy.release();
    ansiValid = 1;
    return ansiCopy;
}

void StringRep::ClearAnsi()
{
    delete[] ansiCopy;
    ansiCopy = nullptr;
    ansiValid = 0;
}

HRESULT StringRep::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IAutoKVOString || iid == IID_IKVOString) {
        *out = static_cast<IKVOString*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG StringRep::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount)); }

ULONG StringRep::Release()
{
    const LONG left = InterlockedDecrement(&refCount);
    if (left == 0) {
        refCount = static_cast<LONG>(0xC0000001u);
        DeleteThis();
    }
    return static_cast<ULONG>(left);
}

HRESULT StringRep::AssignBSTR(BSTR text)
{
    if (refCount > 1) {
        return E_FAIL;
    }
    if (!text) {
        Text()[0] = 0;
        length = 1;
        ansiValid = 0;
        return S_OK;
    }
    const UINT n = SysStringLen(text);
    if (n >= capacity) {
        return E_FAIL;
    }
    ansiValid = 0;
    // An embedded NUL ends the text, so the length must end there too.
    UINT copied = 0;
    while (copied < n && text[copied] != 0) {
        Text()[copied] = text[copied];
        ++copied;
    }
    Text()[copied] = 0;
    length = copied + 1;
    return S_OK;
}

HRESULT StringRep::GetBSTR(BSTR* out)
{
    if (!out) {
        return E_FAIL;
    }
    if (*out) {
        SysFreeString(*out);
        *out = nullptr;
    }
    if (length <= 1) {
        return S_OK;
    }
    *out = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(Text()), 2 * (length - 1));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT StringRep::IsEmpty(VARIANT_BOOL* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = ToVariantBool(length <= 1);
    return S_OK;
}

HRESULT StringRep::GetLength(LONG* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = static_cast<LONG>(length) - 1;
    return S_OK;
}

HRESULT StringRep::IsEqual(IAutoKVOString* other, VARIANT_BOOL* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = VARIANT_FALSE;
    if (!other) {
        return S_OK;
    }
    if (other == static_cast<IAutoKVOString*>(this)) {
        *out = VARIANT_TRUE;
        return S_OK;
    }
    // Only our own representation is read in place; anything else answers through its BSTR.
    if (other->GetTypeId() == kNativeStringTypeId && IsOwnRep(other)) {
        const char16_t* a = Text();
        const char16_t* b = other->GetText();
        while (*a != 0 && *a == *b) {
            ++a;
            ++b;
        }
        *out = ToVariantBool(*a == *b);
        return S_OK;
    }
    BSTR text = nullptr;
    if (FAILED(other->GetBSTR(&text))) {
        SysFreeString(text);
        return S_OK;
    }
    *out = ToVariantBool(CompareBSTR(Text(), length, text) == 0);
    SysFreeString(text);
    return S_OK;
}

HRESULT StringRep::IsShared(VARIANT_BOOL* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = ToVariantBool(refCount > 1);
    return S_OK;
}

int StringRep::GetTypeId() { return kNativeStringTypeId; }

HRESULT StringRep::CopyText(ULONG bufferBytes, void* buffer)
{
    if (!buffer || bufferBytes < 2 * std::uint64_t{length}) {
        return E_FAIL;
    }
    std::memcpy(buffer, Text(), 2 * std::size_t{length});
    return S_OK;
}

HRESULT StringRep::GetLengthAndUnitSize(LONG* outLength, LONG* unitSize)
{
    if (!outLength || !unitSize) {
        return E_POINTER;
    }
    *outLength = static_cast<LONG>(length) - 1;
    *unitSize = 2;
    return S_OK;
}

HRESULT StringRep::GetCapacity(LONG* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = static_cast<LONG>(capacity) - 1;
    return S_OK;
}

HRESULT StringRep::CreateRep(LONG units, IAutoKVOString** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    const std::uint64_t capacity = units < 0 ? 8 : static_cast<std::uint64_t>(units) + 1;
    if (capacity > kMaxUnits) {
        return E_OUTOFMEMORY;
    }
    try {
        *out = Create(AtLeast8(capacity));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT StringRep::ToVariant(VARIANT* out)
{
    if (!out) {
        return E_POINTER;
    }
    VariantInit(out);
    out->vt = VT_BSTR;
    out->bstrVal = nullptr;
    if (length > 1) {
        out->bstrVal = SysAllocStringLen(Text(), length - 1);
        if (!out->bstrVal) {
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

LONG StringRep::Length() { return static_cast<LONG>(length) - 1; }

HRESULT StringRep::Destroy()
{
    DeleteThis();
    return S_OK;
}

HRESULT StringRep::Reserved() { return S_OK; }

const char16_t* StringRep::GetText() { return Text(); }

int CompareBSTR(const char16_t* text, std::uint32_t textUnits, BSTR other)
{
    // textUnits counts the NUL, as a representation's length does.
    const std::uint32_t n = textUnits > 0 ? textUnits - 1 : 0;
    if (n == 0) {
        return other ? -1 : 0;
    }
    if (!other) {
        return 1;
    }
    const std::uint32_t m = SysStringLen(other);
    const std::uint32_t common = std::min(n, m);
    for (std::uint32_t i = 0; i < common; ++i) {
        if (text[i] != other[i]) {
            return static_cast<int>(text[i]) - static_cast<int>(other[i]);
        }
    }
    return n < m ? -1 : (n > m ? 1 : 0);
}

int ToUtf16(std::uint32_t code, char16_t (&units)[2])
{
    if (code > 0xFFFF && code <= 0x10FFFF) {
        units[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        units[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        return 2;
    }
    units[0] = code > 0xFFFF ? u'\uFFFD' : static_cast<char16_t>(code);
    return 1;
}

bool IsOwnRep(IAutoKVOString* object) { return object && dynamic_cast<StringRep*>(object) != nullptr; }

void MakeEmpty(KVO::String& target)
{
    StringRep* rep = target.Rep();
    if (rep->refCount > 1) {
        target.Install(StringRep::Create(std::max<std::uint32_t>(rep->capacity, 8)));
        return;
    }
    rep->ClearAnsi();
    rep->Text()[0] = 0;
    rep->length = 1;
}

void AssignChar(KVO::String& target, char16_t unit)
{
    if (target.Rep()->refCount > 1) {
        target.Install(StringRep::Create(8));
    }
    StringRep* rep = target.Rep();
    rep->ansiValid = 0;
    rep->Text()[0] = unit;
    rep->Text()[1] = 0;
    rep->length = 2;
}

OutParamAdaptor OutParam(KVO::String& target)
{
    target.Rep()->Release();
    target.text_ = nullptr;
    return OutParamAdaptor(target);
}

} // namespace KVOString

namespace KVO {

using KVOString::AtLeast8;
using KVOString::kMaxUnits;
using KVOString::StringRep;
using KVOString::UnitsToNul;

namespace {

// A new representation holding `units` units of `text` (which must not contain a NUL among them).
StringRep* NewRep(const char16_t* text, std::uint32_t units, std::uint32_t capacity)
{
    StringRep* rep = StringRep::Create(capacity);
    std::copy_n(text, units, rep->Text());
    rep->Text()[units] = 0;
    rep->length = units + 1;
    return rep;
}

StringRep* AddRefEmpty()
{
    StringRep* rep = StringRep::GetEmptyRep();
    rep->AddRef();
    return rep;
}

} // namespace

String::String() : text_(AddRefEmpty()->Text()) {}

String::String(StringRep* adopted) : text_(adopted->Text()) {}

String::String(const char16_t* text) : text_(nullptr)
{
    const std::uint32_t n = text ? UnitsToNul(text) : 0;
    text_ = (n == 0 ? AddRefEmpty() : NewRep(text, n, AtLeast8(std::uint64_t{n} + 1)))->Text();
}

String::String(const char* ansiText) : text_(nullptr)
{
    const int units = ansiText ? MultiByteToWideChar(CP_ACP, 0, ansiText, -1, nullptr, 0) : 0;
    if (units <= 1) {
        text_ = AddRefEmpty()->Text();
        return;
    }
    StringRep* rep = StringRep::Create(AtLeast8(static_cast<std::uint64_t>(units)));
    const int written = MultiByteToWideChar(CP_ACP, 0, ansiText, -1, rep->Text(), units);
    rep->Text()[std::max(written, 1) - 1] = 0;
    rep->length = UnitsToNul(rep->Text()) + 1;
    text_ = rep->Text();
}

String::String(const char16_t* text, int count) : text_(nullptr)
{
    if (count < 0) {
        throw xmsg("KVO::String size too big");
    }
    std::uint32_t n = 0;
    if (text) {
        while (n < static_cast<std::uint32_t>(count) && text[n] != 0) {
            ++n;
        }
    }
    text_ = (n == 0 ? AddRefEmpty() : NewRep(text, n, AtLeast8(std::uint64_t{n} + 1)))->Text();
}

String::String(const std::u16string& text) : text_(nullptr)
{
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kMaxUnits));
    text_ = NewRep(text.data(), n, AtLeast8(std::uint64_t{text.size()} + 1))->Text();
}

String::String(const std::wstring& text) : text_(nullptr)
{
    std::u16string units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        char16_t pair[2];
        units.append(pair, static_cast<std::size_t>(KVOString::ToUtf16(static_cast<std::uint32_t>(c), pair)));
    }
    text_ = String(units).Detach();
}

String::String(const String& other) : text_(other.text_) { other.Rep()->AddRef(); }

String::String(String&& other) noexcept : text_(other.text_) { other.text_ = AddRefEmpty()->Text(); }

String::~String()
{
    if (text_) {
        Rep()->Release();
    }
}

String& String::operator=(const String& other)
{
    other.Rep()->AddRef();
    Install(other.Rep());
    return *this;
}

String& String::operator=(String&& other) noexcept
{
    if (this != &other) {
        std::swap(text_, other.text_);
    }
    return *this;
}

char16_t* String::Detach()
{
    char16_t* text = text_;
    text_ = AddRefEmpty()->Text();
    return text;
}

void String::Install(StringRep* adopted)
{
    char16_t* old = text_;
    text_ = adopted->Text();
    if (old) {
        StringRep::FromText(old)->Release();
    }
}

void String::SetLength(std::uint32_t lengthWithNul)
{
    StringRep* rep = Rep();
    rep->length = lengthWithNul;
    rep->Text()[lengthWithNul - 1] = 0;
}

String String::Fill(int n, char16_t c)
{
    const std::uint32_t units = static_cast<std::uint32_t>(std::max(n, 0));
    StringRep* rep = StringRep::Create(AtLeast8(std::uint64_t{units} + 1));
    if (c == 0) {
        return String(rep);
    }
    std::fill_n(rep->Text(), units, c);
    rep->Text()[units] = 0;
    rep->length = units + 1;
    return String(rep);
}

String String::AttachBSTR(BSTR text)
{
    if (!text) {
        return String();
    }
    std::uint32_t n = SysStringLen(text);
    if (n == 0 || text[n - 1] != 0) {
        ++n;
    }
    StringRep* rep = nullptr;
    try {
        rep = StringRep::Create(AtLeast8(n));
    } catch (...) {
        SysFreeString(text);
        throw;
    }
    std::copy_n(text, n - 1, rep->Text());
    rep->Text()[n - 1] = 0;
    rep->length = n;
    SysFreeString(text);
    return String(rep);
}

String& String::AssignText(const char16_t* text)
{
    String temporary(text);
    return *this = std::move(temporary);
}

String& String::AssignInterface(IAutoKVOString* object)
{
    // Foreign objects are asked for their text through their operations; their answers are checked, and a text we
    // cannot obtain gives the empty string.
    String result;
    if (object) {
        LONG units = 0;
        LONG unitSize = 0;
        if (SUCCEEDED(object->GetLengthAndUnitSize(&units, &unitSize)) && units > 0 &&
            static_cast<std::uint32_t>(units) < kMaxUnits) {
            const auto n = static_cast<std::uint32_t>(units);
            if (unitSize == 2) {
                String copy(StringRep::Create(AtLeast8(std::uint64_t{n} + 1)));
                if (SUCCEEDED(object->CopyText(2 * (n + 1), copy.Rep()->Text()))) {
                    // The text ends at its first NUL whatever the object said its length was.
                    const char16_t* text = copy.Rep()->Text();
                    std::uint32_t end = 0;
                    while (end < n && text[end] != 0) {
                        ++end;
                    }
                    copy.SetLength(end + 1);
                    result = std::move(copy);
                }
            } else {
                std::string bytes(n + 1, '\0');
                if (SUCCEEDED(object->CopyText(n + 1, bytes.data()))) {
                    bytes[n] = 0;
                    result = String(bytes.c_str());
                }
            }
        }
    }
    return *this = std::move(result);
}

String& String::AttachInterface(IAutoKVOString* object)
{
    if (!object) {
        return *this = String();
    }
    try {
        AssignInterface(object);
    } catch (...) {
        object->Release();
        throw;
    }
    object->Release();
    return *this;
}

IKVOString* String::GetInterface() const
{
    Rep()->AddRef();
    return Rep();
}

const char* String::Ansi() const { return Rep()->Ansi(CP_THREAD_ACP); }

std::string String::ToUtf8() const { return platform::Utf16ToUtf8(View()); }

void String::MakeUnique()
{
    StringRep* rep = Rep();
    if (rep->refCount > 1) {
        Install(NewRep(text_, rep->length - 1, std::max<std::uint32_t>(rep->capacity, 8)));
    } else {
        rep->ansiValid = 0;
    }
}

void String::Reserve(int units)
{
    StringRep* rep = Rep();
    const std::uint32_t wanted = std::max<std::uint32_t>(static_cast<std::uint32_t>(std::max(units, 0)), rep->length);
    if (rep->refCount <= 1 && rep->capacity == wanted) {
        rep->ansiValid = 0;
        return;
    }
    Install(NewRep(text_, rep->length - 1, AtLeast8(wanted)));
}

void String::ResetCapacity(int units)
{
    Install(StringRep::Create(AtLeast8(static_cast<std::uint32_t>(std::max(units, 0)))));
}

StringBuffer String::PrepareBuffer(int units) { return StringBuffer(*this, units); }

namespace {

// The 1.5 growth of appends, at least 8 units.
std::uint32_t AppendCapacity(std::uint64_t needed) { return AtLeast8(needed + needed / 2); }

} // namespace

String& String::AppendUnits(const char16_t* units, std::uint32_t count)
{
    // `units` must not lie in this string's buffer, which may move.
    const std::uint64_t needed = std::uint64_t{Rep()->length} + count;
    if (needed > Rep()->capacity) {
        Reserve(static_cast<int>(AppendCapacity(needed)));
    } else {
        MakeUnique();
    }
    StringRep* rep = Rep();
    std::copy_n(units, count, rep->Text() + rep->length - 1);
    SetLength(static_cast<std::uint32_t>(needed));
    return *this;
}

String& String::Append(const String& other)
{
    const String keep(other); // keeps the text alive when other is this string
    return AppendUnits(keep.text_, keep.Rep()->length - 1);
}

String& String::Append(const char16_t* text)
{
    if (!text) {
        MakeUnique();
        return *this;
    }
    StringRep* rep = Rep();
    if (text >= rep->Text() && text < rep->Text() + rep->capacity) {
        return Append(String(text)); // a piece of this very text
    }
    return AppendUnits(text, UnitsToNul(text));
}

String& String::Append(char16_t unit)
{
    const char16_t text[2] = {unit, 0};
    return Append(text);
}

String& String::EraseRange(int from, int to)
{
    const int textUnits = Length();
    from = std::max(from, 0);
    if (to <= from || from >= textUnits) {
        return *this;
    }
    MakeUnique();
    if (to >= textUnits) {
        SetLength(static_cast<std::uint32_t>(from) + 1);
        return *this;
    }
    char16_t* text = Rep()->Text();
    std::copy(text + to, text + textUnits + 1, text + from);
    Rep()->length -= static_cast<std::uint32_t>(to - from);
    return *this;
}

String& String::Replace(int pos, int count, const String& with)
{
    const String keep(with); // the replacement may be this string
    const int textUnits = Length();
    pos = std::max(pos, 0);
    if (pos >= textUnits) {
        return Append(keep);
    }
    EraseRange(pos, pos + std::min(std::max(count, 0), textUnits - pos));
    MakeUnique();
    const std::uint32_t added = keep.Rep()->length - 1;
    if (added == 0) {
        return *this;
    }
    const std::uint64_t needed = std::uint64_t{Rep()->length} + added;
    if (needed > Rep()->capacity) {
        Reserve(static_cast<int>(AtLeast8(needed)));
    }
    char16_t* text = Rep()->Text();
    const std::uint32_t oldLength = Rep()->length;
    std::copy_backward(text + pos, text + oldLength, text + oldLength + added);
    std::copy_n(keep.text_, added, text + pos);
    Rep()->length = static_cast<std::uint32_t>(needed);
    return *this;
}

String& String::Erase(int pos, int count) { return Replace(pos, count, String()); }

String String::Substr(int pos, int count) const
{
    const int textUnits = Length();
    pos = std::max(pos, 0);
    if (pos >= textUnits) {
        return String();
    }
    return String(text_ + pos, std::min(count, textUnits - pos));
}

int String::FindLastOf(const char16_t* set, int setUnits) const
{
    if (!set || setUnits <= 0) {
        return -1;
    }
    for (int i = Length() - 1; i >= 0; --i) {
        if (std::find(set, set + setUnits, text_[i]) != set + setUnits) {
            return i;
        }
    }
    return -1;
}

String& String::ReplaceSemicolons()
{
    MakeUnique();
    std::replace(Rep()->Text(), Rep()->Text() + Length(), u';', u',');
    return *this;
}

bool operator==(const String& a, const String& b) { return a == b.text_; }

bool operator==(const String& a, const char16_t* b)
{
    if (a.text_ == b) {
        return true;
    }
    if (!b) {
        return a.IsEmpty();
    }
    const char16_t* p = a.text_;
    while (*p != 0 && *p == *b) {
        ++p;
        ++b;
    }
    return *p == *b;
}

bool operator<(const String& a, const String& b)
{
    const char16_t* p = a.text_;
    const char16_t* q = b.text_;
    while (*p != 0 && *p == *q) {
        ++p;
        ++q;
    }
    return *p < *q; // char16_t is unsigned; a NUL (proper prefix) sorts first
}

std::wistream& String::Extract(std::wistream& in)
{
    KVOString::MakeEmpty(*this);
    std::wistream::sentry sentry(in); // skips leading white space
    if (!sentry) {
        return in;
    }
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(in.getloc());
    std::wstreambuf* buffer = in.rdbuf();
    std::ios_base::iostate state = std::ios_base::goodbit;
    std::uint32_t units = 0;
    for (;;) {
        const std::wint_t next = buffer->sgetc();
        if (next == WEOF) {
            state |= std::ios_base::eofbit;
            break;
        }
        const auto c = static_cast<wchar_t>(next);
        if (ctype.is(std::ctype_base::space, c)) {
            break;
        }
        char16_t pair[2];
        const auto n = static_cast<std::uint32_t>(KVOString::ToUtf16(static_cast<std::uint32_t>(c), pair));
        // Stream extraction doubles the buffer whenever the word fills it.
        while (units + n + 1 > Rep()->capacity) {
            Reserve(static_cast<int>(AtLeast8(2 * std::uint64_t{Rep()->capacity})));
        }
        std::copy_n(pair, n, Rep()->Text() + units);
        units += n;
        SetLength(units + 1);
        buffer->sbumpc();
    }
    if (units == 0) {
        state |= std::ios_base::failbit;
    }
    in.width(0);
    in.setstate(state);
    return in;
}

StringBuffer::StringBuffer(String& target, int units) : target_(&target)
{
    const auto n = static_cast<std::uint32_t>(std::max(units, 0));
    StringRep* rep = target.Rep();
    if (rep->refCount <= 1 && rep->capacity >= std::uint64_t{n} + 1) {
        rep->ClearAnsi();
    } else {
        target.Install(StringRep::Create(AtLeast8(std::uint64_t{n} + 1)));
        rep = target.Rep();
    }
    rep->Text()[0] = 0;
    rep->Text()[n] = 0;
    rep->length = 1;
}

void StringBuffer::Commit()
{
    if (!target_) {
        return;
    }
    StringRep* rep = target_->Rep();
    const char16_t* text = rep->Text();
    std::uint32_t n = 0;
    while (n < rep->capacity && text[n] != 0) {
        ++n;
    }
    target_->SetLength(std::min(n + 1, rep->capacity));
    target_ = nullptr;
}

void StringOutParam::Commit()
{
    if (!target_) {
        return;
    }
    String* target = target_;
    target_ = nullptr;
    IAutoKVOString* object = slot_;
    slot_ = nullptr;
    if (!object) {
        target->Install(AddRefEmpty());
        return;
    }
    // Our own representation takes over the caller's reference; a foreign one, even claiming our type id, is copied.
    if (object->GetTypeId() == kNativeStringTypeId) {
        if (auto* rep = dynamic_cast<StringRep*>(object)) {
            target->Install(rep);
            return;
        }
    }
    if (!target->text_) {
        target->text_ = AddRefEmpty()->Text();
    }
    target->AttachInterface(object);
}

} // namespace KVO
