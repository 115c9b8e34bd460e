// Display settings of a host document as the host keeps them: values by setting id, read through the keys that
// the host settings store makes.
#pragma once

#include "host/comobject.h"
#include "sdk/cafframework.h"
#include "sdk/hostservices.h"

#include <array>
#include <map>

namespace host {

class SettingKey final : private RefCounted, public ISettingKey {
public:
    static platform::ComPtr<ISettingKey> Create(DWORD id);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetId(DWORD* id) override;

private:
    explicit SettingKey(DWORD id) : id_(id) {}
    DWORD id_;
};

// A document's display settings: the trace look of its charts (ids 0x800C0009 to 0x800C000E) with the host's
// defaults, each settable.
class DocumentSettings final : private RefCounted, public IPropertySource {
public:
    static constexpr DWORD kGridShown = 0x800C0009;    // word: non-zero shows the grid
    static constexpr DWORD kGridColour = 0x800C000A;   // integer: the grid's trace colour index
    static constexpr DWORD kTraceStyle = 0x800C000B;   // word
    static constexpr DWORD kTraceCount = 0x800C000C;   // integer: 0 means one
    static constexpr DWORD kTraceColour = 0x800C000D;  // integer: index into the default colour table
    static constexpr DWORD kGridDots = 0x800C000E;     // double word: non-zero draws dots at the crossings

    static platform::ComPtr<DocumentSettings> Create();
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetInteger(IUnknown* key, LONG* value) override;
    HRESULT GetWord(IUnknown* key, WORD* value) override;
    HRESULT GetDword(IUnknown* key, DWORD* value) override;

    void Set(DWORD id, LONG value) { values_[id] = value; }
    void Clear(DWORD id) { values_.erase(id); }

private:
    DocumentSettings();
    // The value of a key's id, or false when the key is not the host's or the value is not set.
    bool Find(IUnknown* key, LONG& value) const;
    template <class Value>
    HRESULT Read(IUnknown* key, Value* value) const;
    std::map<DWORD, LONG> values_;
};

// The application's display colours: a trace colour for each index of its palette (the low word of the index,
// 20 colours in a cycle), each settable. One for the application, never freed.
class DisplayColours final : public IDisplayColours {
public:
    static constexpr std::size_t kPaletteSize = 20;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetColour(LONG index, COLORREF* colour) override;

    void Set(std::size_t index, COLORREF colour) { palette_.at(index) = colour; }
    COLORREF Palette(std::size_t index) const { return palette_.at(index); }
    void ResetPalette();

private:
    friend DisplayColours& ApplicationColours();
    DisplayColours() { ResetPalette(); }
    std::array<COLORREF, kPaletteSize> palette_{};
};

DisplayColours& ApplicationColours();

} // namespace host
