#include "frame/channeltoken.h"

#include "sdk/channeltoken.h"

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
    naming->GetChannelToken(0, channel, kind, &token); // the answer is taken as it comes
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

} // namespace ExtLib
