#include "frame/calcsource.h"

#include "document/messageids.h"
#include "frame/hostservices.h"
#include "sdk/analysishost.h"
#include "sdk/cafevents.h"
#include "sdk/hostobjects.h"

namespace ExtLib {

namespace {

// The message's value: text, second text, channel, kind.
bool PutTexts(VARIANT& value, const KVO::String& text, const KVO::String& second, std::int32_t channel,
              std::int32_t kind)
{
    value.parray = SafeArrayCreateVector(VT_VARIANT, 0, 4);
    if (!value.parray) {
        return false;
    }
    value.vt = VT_ARRAY | VT_VARIANT;
    VARIANT element;
    VariantInit(&element);
    bool complete = true;
    LONG index = 0;
    for (const KVO::String* part : {&text, &second}) {
        element.vt = VT_BSTR;
        element.bstrVal = SysAllocString(part->c_str());
        complete = complete && element.bstrVal && SUCCEEDED(SafeArrayPutElement(value.parray, &index, &element));
        VariantClear(&element);
        ++index;
    }
    for (const std::int32_t number : {channel, kind}) {
        element.vt = VT_I4;
        element.lVal = number;
        complete = complete && SUCCEEDED(SafeArrayPutElement(value.parray, &index, &element));
        ++index;
    }
    return complete;
}

} // namespace

bool GetCalcSourceForChannel(IUnknown* chartData, DWORD messageId, const KVO::String& text, const KVO::String& second,
                             std::int32_t channel, std::int32_t kind)
{
    ICAFFramework* framework = nullptr;
    try {
        framework = CAF::GetFrameworkClassObject();
    } catch (...) {
        return false; // no framework: no host to send to
    }
    platform::ComPtr<ICalcSourceLocator> locator;
    if (!framework || !chartData ||
        FAILED(framework->GetObject(CX::Msg::ChannelCalcMessageId1(), IID_ICalcSourceLocator, locator.OutVoid())) ||
        !locator) {
        return false;
    }
    platform::ComPtr<IMessageHandler> source;
    if (FAILED(locator->FindCalcSource(chartData, channel, static_cast<DWORD>(kind), source.Out())) || !source) {
        return false;
    }
    IMessageBus* bus = CAF::GetMessageBus();
    VARIANT value;
    VariantInit(&value);
    platform::ComPtr<IMessage> message;
    const bool made = bus && PutTexts(value, text, second, channel, kind) &&
                      SUCCEEDED(bus->Create(messageId, 0, 0, 0, 0, &value, message.Out())) && message;
    VariantClear(&value);
    if (!made) {
        return false;
    }
    source->HandleMessage(message.Get());
    return true;
}

} // namespace ExtLib
