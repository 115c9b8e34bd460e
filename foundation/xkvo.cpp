#include "foundation/xkvo.h"

#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/hostlink.h"
#include "platform/win/codepage.h"
#include "platform/win/errors.h"
#include "resources/stringtable.h"

#include <array>

namespace {

constexpr std::uint32_t kCustomerBit = 0x20000000u;
constexpr std::uint32_t kModuleCodeBit = 0x8000u;
constexpr std::uint32_t kFirstModuleCode = 0x8200u;

bool IsModuleCode(HRESULT hr)
{
    const auto bits = static_cast<std::uint32_t>(hr);
    return HRESULT_FACILITY(hr) == FACILITY_ITF && (bits & kCustomerBit) && (bits & kModuleCodeBit);
}

// String ids of the module codes 0xA0048200 + k; 0 where a code has no text.
constexpr std::array<UINT, 30> kModuleTextIds = [] {
    using namespace StringId;
    std::array<UINT, 30> ids{};
    ids[0x00] = ErrUnexpected;
    ids[0x01] = ErrNotCompleted;
    ids[0x02] = ErrNotSupported;
    ids[0x03] = ErrBadStoredText;
    ids[0x04] = ErrNewerVersion;
    ids[0x05] = ErrNewerVersion;
    ids[0x06] = ErrStoredDataDamaged;
    ids[0x07] = ErrStoredDataEnds;
    ids[0x08] = ErrNotSaved;
    ids[0x09] = ErrNotRead;
    ids[0x12] = ErrNeedsNewerHost;
    ids[0x1A] = ErrSettingsInvalid;
    ids[0x1B] = ErrNoData;
    return ids;
}();

} // namespace

XKVO::XKVO(HRESULT hr) : hr_(hr), description_(KVO::HResultMessage(hr)) {}

XKVO::XKVO(const KVO::String& description, HRESULT hr) : hr_(hr), description_(description)
{
    if (hr != 0 && hr != KVO::Errors::kBadStorage && hr != KVO::Errors::kSilent) {
        description_ += u'\n';
        description_ += KVO::HResultMessage(hr);
    }
}

void XKVO::Throw(HRESULT hr) { throw XKVO(hr); }

const char* XKVO::what() const noexcept
{
    try {
        // A derived class's description counts; the 8-bit copy lives in the description's own representation.
        description_ = GetDescription();
        description_.MakeUnique();
        description_.Rep()->ClearAnsi();
        return description_.Rep()->Ansi(CP_THREAD_ACP);
    } catch (...) {
        return "XKVO";
    }
}

namespace KVO {

String HResultMessage(HRESULT hr)
{
    if (hr == STG_E_OLDDLL) {
        hr = Errors::kNewerVersion;
    }
    if (IsModuleCode(hr)) {
        return ModuleHResultMessage(hr);
    }
    const DWORD id = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
    char16_t buffer[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, id,
                                        0x0400, buffer, 510, nullptr);
    if (length == 0) {
        return String();
    }
    std::u16string_view text(buffer, length);
    if (text.size() > 1) {
        if (text.ends_with(u"\r\n")) {
            text.remove_suffix(2);
        }
        if (!text.ends_with(u'.')) {
            return String(std::u16string(text) + u'.');
        }
    }
    return String(std::u16string(text));
}

String ModuleHResultMessage(HRESULT hr)
{
    if (hr == Errors::kBadStorage || hr == Errors::kSilent || hr == Errors::kSamplingPreview || !IsModuleCode(hr)) {
        return String();
    }
    // Codes below 0xA0048200 have bit 15 set too but lie before the table.
    const auto code = HRESULT_CODE(hr);
    if (code < kFirstModuleCode || code - kFirstModuleCode >= kModuleTextIds.size()) {
        return String();
    }
    const UINT id = kModuleTextIds[code - kFirstModuleCode];
    return id ? LoadResourceString(ModuleInstance(), id, true) : String();
}

HRESULT MakeHostTextFromVariant(const VARIANT& value, IUnknown** out)
{
    String text;
    if (value.vt == VT_BSTR) {
        text = String(std::u16string(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal)));
    } else {
        VARIANT converted;
        VariantInit(&converted);
        const HRESULT hr = VariantChangeTypeEx(&converted, &value, 1033, 0, VT_BSTR);
        if (FAILED(hr)) {
            throw XKVO(hr);
        }
        text = String::AttachBSTR(converted.bstrVal);
    }
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    ITypeIdRegistry* registry = HostTypeIdRegistry();
    if (!registry) {
        return REGDB_E_CLASSNOTREG;
    }
    IKVOString* object = text.GetInterface();
    const HRESULT hr = registry->CreateFromText(0, object, out);
    object->Release();
    return hr;
}

} // namespace KVO
