#include "host/displaysettings.h"

namespace host {

platform::ComPtr<ISettingKey> SettingKey::Create(DWORD id)
{
    return platform::ComPtr<ISettingKey>(new SettingKey(id));
}

HRESULT SettingKey::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ISettingKey) {
        return Answer(static_cast<ISettingKey*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT SettingKey::GetId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = id_;
    return S_OK;
}

DocumentSettings::DocumentSettings()
    : values_{{kGridShown, 0xFFFF}, {kGridColour, 16}, {kTraceStyle, 0}, {kTraceCount, 1}, {kTraceColour, 0},
              {kGridDots, 0}}
{
}

platform::ComPtr<DocumentSettings> DocumentSettings::Create()
{
    return platform::ComPtr<DocumentSettings>(new DocumentSettings);
}

HRESULT DocumentSettings::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPropertySource) {
        return Answer(static_cast<IPropertySource*>(this), out);
    }
    return E_NOINTERFACE;
}

bool DocumentSettings::Find(IUnknown* key, LONG& value) const
{
    if (!key) {
        return false;
    }
    platform::ComPtr<ISettingKey> settingKey;
    DWORD id = 0;
    if (FAILED(key->QueryInterface(IID_ISettingKey, settingKey.OutVoid())) || !settingKey ||
        FAILED(settingKey->GetId(&id))) {
        return false;
    }
    const auto found = values_.find(id);
    if (found == values_.end()) {
        return false;
    }
    value = found->second;
    return true;
}

template <class Value>
HRESULT DocumentSettings::Read(IUnknown* key, Value* value) const
{
    LONG found = 0;
    if (!value) {
        return E_POINTER;
    }
    if (!Find(key, found)) {
        return E_FAIL;
    }
    *value = static_cast<Value>(found);
    return S_OK;
}

HRESULT DisplayColours::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDisplayColours) {
        *out = static_cast<IDisplayColours*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT DisplayColours::GetColour(LONG index, COLORREF* colour)
{
    if (!colour) {
        return E_POINTER;
    }
    *colour = palette_[static_cast<WORD>(index) % kPaletteSize];
    return S_OK;
}

void DisplayColours::ResetPalette()
{
    palette_ = {0x0000FF, 0xFF0000, 0x008000, 0xFF00FF, 0x800000, 0x000080, 0x008080, 0x800080, 0x808000, 0x000000,
                0x00FF00, 0xFFFF00, 0x0080FF, 0x8000FF, 0xFF0080, 0x004080, 0xC08000, 0x00A0E0, 0xFF8000, 0xC08080};
}

DisplayColours& ApplicationColours()
{
    static DisplayColours colours;
    return colours;
}

HRESULT DocumentSettings::GetInteger(IUnknown* key, LONG* value) { return Read(key, value); }
HRESULT DocumentSettings::GetWord(IUnknown* key, WORD* value) { return Read(key, value); }
HRESULT DocumentSettings::GetDword(IUnknown* key, DWORD* value) { return Read(key, value); }

} // namespace host
