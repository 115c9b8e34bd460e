// KVO::String: the reference-counted, copy-on-write UTF-16 string of the whole module.
//
// The text lives in a KVOString::StringRep: one heap block, a header (interface table, cached 8-bit copy, its valid
// flag, reference count, capacity and length in UTF-16 units, both counting the NUL) followed directly by the text.
// The representation is at the same time the IKVOString object handed to the host, so strings cross the boundary
// without copying. Copies share the representation; every change first makes it private.
#pragma once

#include "sdk/ikvostring.h"

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace KVO {
class String;
}

namespace KVOString {

// Same slot order as IKVOString; only the deleting destructor has a body.
class StringRepBase : public IKVOString {
public:
    void DeleteThis() override;

protected:
    StringRepBase() = default;
    ~StringRepBase() = default;
};

class StringRep final : public StringRepBase {
public:
    // Header fields after the interface table, in this order.
    char* ansiCopy = nullptr;        // owned 8-bit copy of the text, freed with the block
    std::uint32_t ansiValid = 0;     // 1 when ansiCopy matches the text
    volatile LONG refCount = 1;      // interlocked
    std::uint32_t capacity = 0;      // UTF-16 units, counting the NUL
    std::uint32_t length = 0;        // UTF-16 units, counting the NUL (1 = empty)

    char16_t* Text() { return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(this) + sizeof(StringRep)); }
    const char16_t* Text() const
    {
        return reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(this) + sizeof(StringRep));
    }
    static StringRep* FromText(const char16_t* text)
    {
        return reinterpret_cast<StringRep*>(const_cast<char*>(reinterpret_cast<const char*>(text)) - sizeof(StringRep));
    }

    // A new private empty representation of exactly `capacity` units (callers apply the minimum of 8), count 1.
    static StringRep* Create(std::uint32_t capacity);
    // The shared empty representation (capacity 9, length 1); the caller receives no reference.
    static StringRep* GetEmptyRep();
    // Drops the module's own reference to the empty representation (module exit).
    static void ReleaseEmptyRep();

    // Makes the cached 8-bit copy in the given code page valid and returns it.
    const char* Ansi(UINT codePage);
    void ClearAnsi(); // frees the copy and clears the flag

    // IKVOString
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT AssignBSTR(BSTR text) override;
    HRESULT GetBSTR(BSTR* out) override;
    HRESULT IsEmpty(VARIANT_BOOL* out) override;
    HRESULT GetLength(LONG* out) override;
    HRESULT IsEqual(IAutoKVOString* other, VARIANT_BOOL* out) override;
    HRESULT IsShared(VARIANT_BOOL* out) override;
    int GetTypeId() override;
    HRESULT CopyText(ULONG bufferBytes, void* buffer) override;
    HRESULT GetLengthAndUnitSize(LONG* length, LONG* unitSize) override;
    HRESULT GetCapacity(LONG* out) override;
    HRESULT CreateRep(LONG units, IAutoKVOString** out) override;
    HRESULT ToVariant(VARIANT* out) override;
    LONG Length() override;
    HRESULT Destroy() override;
    HRESULT Reserved() override;
    const char16_t* GetText() override;

private:
    StringRep() = default;
    ~StringRep() = default;
    friend class StringRepBase;
};

// The text follows the header directly; on 64-bit machines the header is 32 bytes instead of 24.
static_assert(sizeof(StringRep) == 2 * sizeof(void*) + 4 * sizeof(std::uint32_t));
static_assert(sizeof(StringRep) % alignof(char16_t) == 0);

// The largest capacity (in units) any string operation makes; beyond it they throw xmsg.
inline constexpr std::uint32_t kMaxUnits = 0x3FFFFFFF;

// Text against a BSTR: below, at or above 0.
int CompareBSTR(const char16_t* text, std::uint32_t textUnits, BSTR other);

// True when `object` is a representation made by this very implementation (not just one claiming type id 9).
bool IsOwnRep(IAutoKVOString* object);

// One UTF-32 code point as one or two UTF-16 units (values beyond U+10FFFF become U+FFFD); returns the count.
int ToUtf16(std::uint32_t code, char16_t (&units)[2]);

void MakeEmpty(KVO::String& target);
void AssignChar(KVO::String& target, char16_t unit);

class OutParamAdaptor;
// Releases the string's representation and returns an adaptor through which a host call installs the result.
OutParamAdaptor OutParam(KVO::String& target);

} // namespace KVOString

namespace KVO {

class StringBuffer;

class String {
public:
    String();                                            // the shared empty string
    String(const char16_t* text);                        // NUL-terminated UTF-16; null or "" gives the empty one
    explicit String(const char* ansiText);               // 8-bit text in the ANSI code page
    String(const char16_t* text, int count);             // up to count units, stopping at a NUL; count < 0 throws
    explicit String(const std::u16string& text);         // always a new representation
    explicit String(const std::wstring& text);           // UTF-32 wide text, converted with surrogates
    String(const String& other);
    String(String&& other) noexcept;
    ~String();
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char16_t* text) { return AssignText(text); }

    // n copies of unit c (c == 0 gives an empty text of that capacity).
    static String Fill(int n, char16_t c);
    // Takes ownership of a BSTR.
    static String AttachBSTR(BSTR text);

    String& AssignText(const char16_t* text);
    // Copies any host string object (2-byte units taken as they are; 1-byte units converted from the ANSI page).
    String& AssignInterface(IAutoKVOString* object);
    // AssignInterface, then releases the interface (the reference is consumed).
    String& AttachInterface(IAutoKVOString* object);

    const char16_t* c_str() const { return text_; }
    operator const char16_t*() const { return text_; }
    int Length() const { return static_cast<int>(Rep()->length) - 1; }
    bool IsEmpty() const { return Rep()->length <= 1; }
    int Capacity() const { return static_cast<int>(Rep()->capacity); } // units, counting the NUL
    std::u16string_view View() const { return {text_, static_cast<std::size_t>(Length())}; }
    char16_t operator[](int index) const { return text_[index]; }

    KVOString::StringRep* Rep() const { return KVOString::StringRep::FromText(text_); }
    // A new reference to the representation for the host.
    IKVOString* GetInterface() const;
    // The 8-bit copy of the text in the thread's ANSI code page (valid until the string changes).
    const char* Ansi() const;
    std::string ToUtf8() const;

    void MakeUnique();
    void Reserve(int units);
    void ResetCapacity(int units);
    // An empty private buffer for n units plus the NUL; see StringBuffer.
    StringBuffer PrepareBuffer(int units);

    String& Append(const String& other);
    String& Append(const char16_t* text);
    String& Append(char16_t unit);
    String& operator+=(const String& other) { return Append(other); }
    String& operator+=(const char16_t* text) { return Append(text); }
    String& operator+=(char16_t unit) { return Append(unit); }

    String& EraseRange(int from, int to);
    String& Replace(int pos, int count, const String& with);
    String& Erase(int pos, int count);
    String Substr(int pos, int count) const;
    int FindLastOf(const char16_t* set, int setUnits) const;
    String& ReplaceSemicolons();

    friend bool operator==(const String& a, const String& b);
    friend bool operator==(const String& a, const char16_t* b);
    friend bool operator!=(const String& a, const String& b) { return !(a == b); }
    friend bool operator<(const String& a, const String& b);

    // Reads one whitespace-delimited word from a wide stream (the stream's units are UTF-32 here).
    std::wistream& Extract(std::wistream& in);
    friend std::wistream& operator>>(std::wistream& in, String& target) { return target.Extract(in); }

private:
    friend class StringBuffer;
    friend class StringStreamBuf;
    friend class StringOutParam;
    friend class KVOString::OutParamAdaptor;
    friend void KVOString::MakeEmpty(String&);
    friend void KVOString::AssignChar(String&, char16_t);
    friend KVOString::OutParamAdaptor KVOString::OutParam(String&);

    explicit String(KVOString::StringRep* adopted); // takes over one reference
    void Install(KVOString::StringRep* adopted);     // releases the old representation, takes over one reference
    void SetLength(std::uint32_t lengthWithNul);
    String& AppendUnits(const char16_t* units, std::uint32_t count);
    char16_t* Detach(); // hands over the reference and leaves the empty string behind

    char16_t* text_;
};

// The writable buffer of PrepareBuffer: write the text, then Commit (or let the adaptor end) to set the length to the
// units up to the first NUL plus one, at most the capacity (a NUL is forced into the last unit when it was cut).
// Only the first Commit counts; the buffer pointer is null afterwards.
class StringBuffer {
public:
    StringBuffer(String& target, int units);
    StringBuffer(const StringBuffer&) = delete;
    StringBuffer& operator=(const StringBuffer&) = delete;
    ~StringBuffer() { Commit(); }
    char16_t* Data() const { return target_ ? const_cast<char16_t*>(target_->text_) : nullptr; }
    int Capacity() const { return target_ ? target_->Capacity() : 0; }
    operator char16_t*() const { return Data(); }
    void Commit();

private:
    String* target_;
};

// Out-parameter adaptor: binds a target string to an empty interface slot that a host call fills with a new
// string reference; Commit (or the adaptor's end) adopts our own representation in place and copies any other.
class StringOutParam {
public:
    explicit StringOutParam(String& target) : target_(&target) {}
    StringOutParam(const StringOutParam&) = delete;
    StringOutParam& operator=(const StringOutParam&) = delete;
    ~StringOutParam() { Commit(); }
    IAutoKVOString** operator&() { return &slot_; }
    IAutoKVOString** Slot() { return &slot_; }
    operator IAutoKVOString**() { return &slot_; }
    operator IKVOString**() { return reinterpret_cast<IKVOString**>(&slot_); }
    void Commit();

private:
    String* target_;
    IAutoKVOString* slot_ = nullptr;
};

} // namespace KVO

namespace KVOString {
// The adaptor that OutParam returns: the target has no representation until Commit installs one (the empty one
// when the slot stays null).
class OutParamAdaptor : public KVO::StringOutParam {
public:
    using KVO::StringOutParam::StringOutParam;
};
}
