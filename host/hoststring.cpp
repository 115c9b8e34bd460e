#include "host/hoststring.h"

#include "host/comobject.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

// Not the module's representation (its type id is 0), so the module copies the text through CopyText.
class HostString final : public IKVOString, private RefCounted {
public:
    explicit HostString(std::u16string text) : text_(std::move(text)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IAutoKVOString || iid == IID_IKVOString) {
            return Answer(static_cast<IKVOString*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT AssignBSTR(BSTR text) override
    {
        text_ = text ? std::u16string(text, SysStringLen(text)) : std::u16string();
        return S_OK;
    }
    HRESULT GetBSTR(BSTR* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT IsEmpty(VARIANT_BOOL* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = text_.empty() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT GetLength(LONG* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = Length();
        return S_OK;
    }
    HRESULT IsEqual(IAutoKVOString*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT IsShared(VARIANT_BOOL* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = VARIANT_FALSE;
        return S_OK;
    }
    int GetTypeId() override { return 0; }
    HRESULT CopyText(ULONG bufferBytes, void* buffer) override
    {
        if (!buffer || bufferBytes < sizeof(char16_t)) {
            return E_INVALIDARG;
        }
        const std::size_t units = std::min<std::size_t>(text_.size(), bufferBytes / sizeof(char16_t) - 1);
        std::memcpy(buffer, text_.data(), units * sizeof(char16_t));
        static_cast<char16_t*>(buffer)[units] = 0;
        return units == text_.size() ? S_OK : S_FALSE;
    }
    HRESULT GetLengthAndUnitSize(LONG* length, LONG* unitSize) override
    {
        if (!length || !unitSize) {
            return E_POINTER;
        }
        *length = Length();
        *unitSize = sizeof(char16_t);
        return S_OK;
    }
    HRESULT GetCapacity(LONG* out) override { return GetLength(out); }
    HRESULT CreateRep(LONG, IAutoKVOString**) override { return E_NOTIMPL; }
    HRESULT ToVariant(VARIANT*) override { return E_NOTIMPL; }
    LONG Length() override { return static_cast<LONG>(text_.size()); }
    HRESULT Destroy() override { return E_FAIL; }
    HRESULT Reserved() override { return E_NOTIMPL; }
    const char16_t* GetText() override { return text_.c_str(); }
    void DeleteThis() override { delete this; }

private:
    std::u16string text_;
};

} // namespace

platform::ComPtr<IKVOString> MakeString(std::u16string text)
{
    return platform::ComPtr<IKVOString>(new HostString(std::move(text)));
}

} // namespace host
