#include "frame/channeltoken.h"

#include "sdk/channelcalc.h"
#include "sdk/channeltoken.h"
#include "sdk/datasource.h"

#include <algorithm>

#include <string>

namespace ExtLib {

bool QueryChannelToken(IUnknown* hostDocument, std::int32_t channel, std::int32_t kind, KVO::String& text)
{
    if (!hostDocument) {
        return false;
    }
    platform::ComPtr<IChannelNaming> naming;
    if (FAILED(hostDocument->QueryInterface(IID_IChannelNaming, naming.OutVoid())) || !naming) {
        return false;
    }
    BSTR token = nullptr;
    // A refused or empty answer is no token: the caller then names the channel by its number.
    if (FAILED(naming->GetChannelToken(0, channel, kind, &token)) || !token || SysStringLen(token) == 0) {
        SysFreeString(token);
        return false;
    }
    text = KVO::String::AttachBSTR(token);
    return true;
}

KVO::String GetChannelToken(IUnknown* hostDocument, std::int32_t channel, std::int32_t kind)
{
    KVO::String token;
    if ((kind & 0xFF) == 4 && QueryChannelToken(hostDocument, channel, kind, token)) {
        return token;
    }
    const std::string number = std::to_string(static_cast<std::int64_t>(channel) + 1);
    return KVO::String((u"ch" + std::u16string(number.begin(), number.end())).c_str());
}


bool SetChannelCalculation(IUnknown* channelData, DWORD messageId, const KVO::String& text, const KVO::String& unit,
                           const ChannelReference& channel)
{
    platform::ComPtr<IChannelCalculation> calculations;
    if (!channelData || FAILED(channelData->QueryInterface(IID_IChannelCalculation, calculations.OutVoid())) ||
        !calculations) {
        return false;
    }
    IKVOString* textInterface = text.GetInterface();
    IKVOString* unitInterface = unit.GetInterface();
    const HRESULT hr = calculations->SetCalculation(messageId, textInterface, unitInterface, &channel);
    textInterface->Release();
    unitInterface->Release();
    return hr == S_OK;
}

KVO::String GetChannelName(IUnknown* hostDocument, std::int32_t channel)
{
    if (!hostDocument) {
        return KVO::String(u"?");
    }
    platform::ComPtr<IDataSourceHolder> holder;
    platform::ComPtr<IDataSource> source;
    platform::ComPtr<IChannelNames> names;
    BSTR name = nullptr;
    if (SUCCEEDED(hostDocument->QueryInterface(IID_IDataSourceHolder, holder.OutVoid())) && holder &&
        SUCCEEDED(holder->GetSource(0, source.Out())) && source &&
        SUCCEEDED(source->QueryInterface(IID_IChannelNames, names.OutVoid())) && names &&
        SUCCEEDED(names->GetChannelName(channel, 0xC0000000u, &name)) && name) {
        return KVO::String::AttachBSTR(name);
    }
    SysFreeString(name);
    return KVO::String();
}

std::int32_t GetMaxPaneMetric(IUnknown* hostDocument)
{
    // A count that is not read counts as 16; a count read is taken as the host gives it.
    constexpr LONG kUnread = 16;
    platform::ComPtr<IPaneMetrics> pane;
    if (hostDocument && FAILED(hostDocument->QueryInterface(IID_IPaneMetrics, pane.OutVoid()))) {
        pane.Reset();
    }
    const auto read = [&pane](HRESULT (IPaneMetrics::*metric)(DWORD, LONG*)) {
        LONG count = 0;
        return pane && SUCCEEDED((pane.Get()->*metric)(0, &count)) ? count : kUnread;
    };
    return std::max({read(&IPaneMetrics::GetChannelExtent), read(&IPaneMetrics::GetRecordedChannelCount),
                     read(&IPaneMetrics::GetExtraChannelCount)});
}

bool QueryChannelInterfaces(IUnknown* hostDocument, IChannelCalc** out, DWORD messageId, std::int32_t channel,
                            DWORD kind)
{
    if (!out) {
        return false;
    }
    *out = nullptr;
    platform::ComPtr<IChannelCalcQuery> query;
    if (!hostDocument || FAILED(hostDocument->QueryInterface(IID_IChannelCalcQuery, query.OutVoid())) || !query) {
        return false;
    }
    if (query->GetChannelCalc(messageId, channel, kind, out) != S_OK || !*out) {
        if (*out) {
            (*out)->Release();
            *out = nullptr;
        }
        return false;
    }
    return true;
}

} // namespace ExtLib
