#include "document/chartdatachilddata.h"

#include "foundation/xkvo.h"
#include "frame/typeid.h"


namespace CX::Doc {

namespace {

// {1244C483-66FE-4441-A1A3-AEA4DEAE4103}: the class of the module's child data.
constexpr GUID kChildDataClass{0x1244C483, 0x66FE, 0x4441, {0xA1, 0xA3, 0xAE, 0xA4, 0xDE, 0xAE, 0x41, 0x03}};
// {6933BCF0-0E17-4B32-A1A9-ECAECFB0F19A}: answered only by this module's own child data, with the object itself.
constexpr IID kOwnChildData{0x6933BCF0, 0x0E17, 0x4B32, {0xA1, 0xA9, 0xEC, 0xAE, 0xCF, 0xB0, 0xF1, 0x9A}};

} // namespace

DWORD ChartDataChildData::Key() { return TypeIdClass<&kChildDataClass, 0>::Get(); }

platform::ComPtr<ChartDataChildData> ChartDataChildData::FindOrCreate(IUnknown* hostData)
{
    if (!hostData) {
        return {};
    }
    platform::ComPtr<IChartDocument> document;
    if (FAILED(hostData->QueryInterface(IID_IChartDocument, document.OutVoid())) || !document) {
        return {};
    }
    platform::ComPtr<IChildDataHolder> holder;
    if (FAILED(document->GetChildDataHolder(holder.Out())) || !holder) {
        return {};
    }
    platform::ComPtr<IChartDataChildData> found;
    if (FAILED(holder->Find(0, Key(), found.Out())) || !found) {
        platform::ComPtr<ChartDataChildData> created(new ChartDataChildData);
        holder->Store(0, created.Get());
        return created;
    }
    platform::ComPtr<ChartDataChildData> own;
    if (FAILED(found->QueryInterface(kOwnChildData, own.OutVoid()))) {
        return {};
    }
    return own;
}

HRESULT ChartDataChildData::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChartDataChildData) {
        *out = static_cast<IChartDataChildData*>(this);
    } else if (iid == IID_ICXSettingsChildData) {
        *out = static_cast<ICXSettingsChildData*>(this);
    } else if (iid == kOwnChildData) {
        *out = this;
    } else {
        return E_NOINTERFACE;
    }
    InternalAddRef();
    return S_OK;
}

HRESULT ChartDataChildData::GetTypeId(DWORD* key)
{
    if (!key) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *key = Key();
        return S_OK;
    });
}

HRESULT ChartDataChildData::Clone(IUnknown*, IChartDataChildData** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        // The copy has a copy of the settings but starts with empty position maps and the default pair.
        auto* copy = new ChartDataChildData;
        if (settings_) {
            copy->settings_ = std::make_unique<SettingsSet>(*settings_);
        }
        copy->InternalAddRef();
        *out = copy;
        return S_OK;
    });
}

HRESULT ChartDataChildData::Invalidated(DWORD, LONG, LONG) { return S_OK; }
HRESULT ChartDataChildData::RecordsChanged(LONG, LONG) { return S_OK; }
HRESULT ChartDataChildData::DataChanged(DWORD, LONG, DWORD, DWORD, LONG, LONG) { return S_OK; }

HRESULT ChartDataChildData::GetChannelPair(std::int32_t* pair)
{
    if (!pair) {
        return E_POINTER;
    }
    pair[0] = pair_[0];
    pair[1] = pair_[1];
    return S_OK;
}

HRESULT ChartDataChildData::SetChannelPair(std::int32_t first, std::int32_t second)
{
    pair_[0] = first;
    pair_[1] = second;
    return S_OK;
}

std::int32_t ChartDataChildData::EventOrdinal(std::int32_t tick, std::int32_t block)
{
    return positions_.Find(tick, block);
}

} // namespace CX::Doc
