#include "chartdraw/drawer.h"

namespace ChartDraw {

DrawerBaseInit::DrawerBaseInit(DWORD kindCode, LONG channelIndex, DWORD subSelectorValue, LONG alternate,
                               DWORD alternateSelector)
    : kind(kindCode), channel(channelIndex), subSelector(subSelectorValue), alternateChannel(alternate),
      alternateSubSelector(alternateSelector)
{
}

void DrawerBaseInit::Assign(const DrawerBaseInit& other) { *this = other; }

DWORD DrawerBaseInit::RequestFlags() const
{
    const DWORD style = option ? styleFlags & ~0x3000u : styleFlags;
    return (style & ~0xFFu) | (subSelector & 0xFF);
}

DrawerBase::DrawerBase(DWORD kindCode, LONG channelIndex, DWORD subSelectorValue, LONG alternate,
                       DWORD alternateSelector)
    : DrawerBaseInit(kindCode, channelIndex, subSelectorValue, alternate, alternateSelector)
{
}

DrawerBase::DrawerBase(const DrawerBase& other) : SimpleUnknownImp1(other), DrawerBaseInit(other) {}

HRESULT DrawerBase::SetDataSource(LONG, IUnknown* source)
{
    platform::ComPtr<IChartDataSource> held;
    if (source) {
        source->QueryInterface(IID_IChartDataSource, held.OutVoid());
    }
    source_ = held;
    startFlag = false;
    sampling = false;
    if (source_) {
        server_.Reset();
        platform::ComPtr<IUnknown> server;
        if (SUCCEEDED(source_->GetDataServer(server.Out())) && server) {
            server->QueryInterface(IID_IChartDataServer, server_.OutVoid());
        }
    }
    return S_OK;
}

HRESULT DrawerBase::SetRect(LONG index, const RECT* rect)
{
    positionIndex = index;
    if (rect) {
        lane = *rect;
    }
    return S_OK;
}

HRESULT DrawerBase::GetKind(DWORD* out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = kind;
    return S_OK;
}

HRESULT DrawerBase::GetChannel(LONG pair[2])
{
    if (!pair) {
        return E_INVALIDARG;
    }
    pair[0] = channel;
    pair[1] = static_cast<LONG>(subSelector);
    return S_OK;
}

HRESULT DrawerBase::GetUnitText(LONG, LONG, IKVOString**, WORD*) { return S_FALSE; }

HRESULT DrawerBase::GetData(LONG record, IUnknown** data)
{
    if (!data) {
        return E_INVALIDARG;
    }
    *data = nullptr;
    if (channel < 0 || !server_) {
        return S_FALSE;
    }
    return server_->GetData(RequestFlags(), record, channel, data);
}

HRESULT DrawerBase::OnScaleChanged(LONG, LONG, const double*, IUnknown*) { return S_FALSE; }
HRESULT DrawerBase::OnNewBlock(DWORD) { return S_OK; }
HRESULT DrawerBase::OnLayoutChanged(LONG) { return S_OK; }

HRESULT DrawerBase::OnSamplingStart(DWORD argument, LONG flag)
{
    startArgument = argument;
    startFlag = flag != 0;
    sampling = true;
    if (server_) {
        server_->GetCurrentRecord(0, &currentRecord);
    }
    OnNewBlock(0xFF000000);
    return S_OK;
}

HRESULT DrawerBase::GetLatestTick(LONG, LONG, LONGLONG, LONGLONG, LONGLONG*) { return S_FALSE; }

HRESULT DrawerBase::OnSamplingStop(LONG, LONG)
{
    sampling = false;
    return S_OK;
}

HRESULT DrawerBase::Notify17(LONG) { return S_OK; }
HRESULT DrawerBase::Notify18(LONG, LONG) { return S_OK; }
HRESULT DrawerBase::RequestData(DWORD, LONG, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) { return S_FALSE; }
HRESULT DrawerBase::GetLane(LONG*) { return E_NOTIMPL; }
HRESULT DrawerBase::DropCachedData(LONG) { return E_NOTIMPL; }

HRESULT DrawerBase::GetEffectiveChannel(LONG pair[2])
{
    if (!pair) {
        return E_INVALIDARG;
    }
    if (alternateChannel != kNoAlternateChannel) {
        pair[0] = alternateChannel;
        pair[1] = static_cast<LONG>(alternateSubSelector);
    } else {
        pair[0] = channel;
        pair[1] = static_cast<LONG>(subSelector);
    }
    return S_OK;
}

HRESULT DrawerBase::SetPaneIndex(LONG, LONG index)
{
    paneIndex = index;
    return S_OK;
}

HRESULT DrawerBase::ApplyChannelSettings(IUnknown*, IUnknown*, LONG) { return S_OK; }

HRESULT DrawerBase::GetUnitTextEx(LONG laneIndex, LONG record, IKVOString** text, WORD* flag, double*, double*,
                                  double*)
{
    return GetUnitText(laneIndex, record, text, flag);
}

HRESULT DrawerBase::SetDrawerServices(IDrawerDataPane* services)
{
    services_ = services;
    return S_OK;
}

HRESULT DrawerBase::Notify27(LONG) { return E_NOTIMPL; }
HRESULT DrawerBase::Notify28(LONG) { return E_NOTIMPL; }

HRESULT DrawerBase::SetOption(DWORD value)
{
    option = value;
    return S_OK;
}

void* DrawerBase::GetSettingsRecord() { return nullptr; }

} // namespace ChartDraw
