#include "host/analysis.h"

#include "sdk/datasource.h"
#include "sdk/ikvostring.h"


namespace host {

namespace {

std::u16string Text(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// ASCII only.
std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

HRESULT GiveText(const std::u16string& text, BSTR* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT CalcChannels::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IChartCalcChannels, static_cast<IChartCalcChannels*>(this)},
                       {&IID_IChartTimes, static_cast<IChartTimes*>(this)},
                       {&IID_ICalcTextTarget, static_cast<ICalcTextTarget*>(this)},
                       {&IID_IChannelCalculation, static_cast<IChannelCalculation*>(this)},
                       {&IID_IMessageHandler, static_cast<IMessageHandler*>(this)}},
                      iid, out);
}

namespace {

// Element `index` of a variant array as text, or as a number.
std::u16string ElementText(SAFEARRAY* array, LONG index)
{
    VARIANT element;
    VariantInit(&element);
    std::u16string text;
    if (SUCCEEDED(SafeArrayGetElement(array, &index, &element)) && element.vt == VT_BSTR && element.bstrVal) {
        text.assign(element.bstrVal, SysStringLen(element.bstrVal));
    }
    VariantClear(&element);
    return text;
}

bool ElementNumber(SAFEARRAY* array, LONG index, LONG& number)
{
    VARIANT element;
    VariantInit(&element);
    VARIANT converted;
    VariantInit(&converted);
    const bool read = SUCCEEDED(SafeArrayGetElement(array, &index, &element)) &&
                      SUCCEEDED(VariantChangeType(&converted, &element, 0, VT_I4));
    if (read) {
        number = converted.lVal;
    }
    VariantClear(&element);
    VariantClear(&converted);
    return read;
}

} // namespace

HRESULT CalcChannels::HandleMessage(IMessage* message)
{
    if (!message) {
        return 0;
    }
    DWORD id = 0;
    message->GetId(&id);
    VARIANT value;
    VariantInit(&value);
    message->GetValue(&value);
    LONG low = 0;
    LONG high = -1;
    LONG channel = 0;
    LONG kind = 0;
    const bool carriesTexts = value.vt == (VT_ARRAY | VT_VARIANT) && SUCCEEDED(SafeArrayGetLBound(value.parray, 1, &low)) &&
                              SUCCEEDED(SafeArrayGetUBound(value.parray, 1, &high)) && high - low == 3 &&
                              ElementNumber(value.parray, low + 2, channel) && ElementNumber(value.parray, low + 3, kind);
    HRESULT taken = 0;
    if (carriesTexts) {
        const std::u16string text = ElementText(value.parray, low);
        log_.Record("calcchannels", "CalcSourceMessage",
                    Hex(id) + " " + std::to_string(channel) + " " + std::to_string(kind) + " " + Narrow(text));
        taken = SetText(channel, text) ? 1 : 0;
    }
    VariantClear(&value);
    return taken;
}

HRESULT CalcChannels::GetOwner(IUnknown** owner)
{
    if (!owner) {
        return E_POINTER;
    }
    *owner = nullptr;
    return S_OK;
}

HRESULT CalcSourceLocator::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICalcSourceLocator) {
        *out = static_cast<ICalcSourceLocator*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CalcSourceLocator::FindCalcSource(IUnknown* chart, LONG channel, DWORD kind, IMessageHandler** source)
{
    log_.Record("calcsources", "FindCalcSource", std::to_string(channel) + " " + std::to_string(kind));
    if (!source) {
        return E_POINTER;
    }
    *source = nullptr;
    platform::ComPtr<IChartCalcChannels> channels;
    if (!chart || FAILED(chart->QueryInterface(IID_IChartCalcChannels, channels.OutVoid())) || !channels) {
        return E_INVALIDARG;
    }
    // Only a channel that the chart calculates has a source.
    BSTR text = nullptr;
    const HRESULT known = channels->GetChannelText(0, channel, 0, &text);
    SysFreeString(text);
    if (FAILED(known)) {
        return E_INVALIDARG;
    }
    return channels->QueryInterface(IID_IMessageHandler, reinterpret_cast<void**>(source));
}

HRESULT CalcChannels::SetCalculation(DWORD messageId, IKVOString* text, IKVOString* unit,
                                     const ChannelReference* channel)
{
    if (!text || !channel) {
        return E_POINTER;
    }
    const std::u16string calculation = text->GetText() ? text->GetText() : u"";
    log_.Record("calcchannels", "SetCalculation",
                Hex(messageId) + " " + std::to_string(channel->word0) + " " + std::to_string(channel->word1) + " " +
                    Narrow(calculation));
    if (!SetText(channel->word0, calculation)) {
        return E_INVALIDARG;
    }
    channels_[channel->word0].unit = unit && unit->GetText() ? unit->GetText() : u"";
    return S_OK;
}

HRESULT CalcChannels::SendCalcText(DWORD messageId, LONG channel, DWORD kind, const char16_t* text, const char16_t*)
{
    log_.Record("calcchannels", "SendCalcText",
                Hex(messageId) + " " + std::to_string(channel) + " " + std::to_string(kind) + " " + Narrow(Text(text)));
    return SetText(channel, Text(text)) ? S_OK : E_INVALIDARG;
}

CalcChannels::Channel* CalcChannels::Named(const char16_t* name)
{
    const std::u16string wanted = Text(name);
    for (auto& [number, channel] : channels_) {
        if (channel.name == wanted) {
            return &channel;
        }
    }
    return nullptr;
}

HRESULT CalcChannels::AddChannel(DWORD, VARIANT_BOOL flag, DWORD, BSTR* name, std::int32_t* pair)
{
    if (!name || !pair) {
        return E_POINTER;
    }
    const LONG number = next_++;
    Channel channel;
    channel.name = u"Calculation " + Widen(std::to_string(number));
    channel.on = flag != 0;
    channels_[number] = channel;
    pair[0] = number;
    log_.Record("calcchannels", "add", std::to_string(number));
    return GiveText(channel.name, name);
}

HRESULT CalcChannels::GetChannelText(DWORD, LONG channel, DWORD kind, BSTR* text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    log_.Record("calcchannels", "text", std::to_string(channel) + " " + std::to_string(kind));
    const auto found = channels_.find(channel);
    if (found == channels_.end()) {
        return E_INVALIDARG;
    }
    return GiveText(kind == kCalcChannelNameText ? found->second.name : found->second.text, text);
}

HRESULT CalcChannels::RemoveChannel(DWORD, const char16_t* name)
{
    log_.Record("calcchannels", "remove", Narrow(Text(name)));
    for (auto it = channels_.begin(); it != channels_.end(); ++it) {
        if (it->second.name == Text(name)) {
            channels_.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CalcChannels::GetState(DWORD, const char16_t* name, VARIANT_BOOL* on)
{
    if (!on) {
        return E_POINTER;
    }
    Channel* channel = Named(name);
    if (!channel) {
        return E_INVALIDARG;
    }
    *on = channel->on ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CalcChannels::SetState(DWORD, const char16_t* name, VARIANT_BOOL on)
{
    log_.Record("calcchannels", "state", Narrow(Text(name)) + (on ? " on" : " off"));
    Channel* channel = Named(name);
    if (!channel) {
        return E_INVALIDARG;
    }
    channel->on = on != 0;
    return S_OK;
}

HRESULT CalcChannels::SetTitle(DWORD, const char16_t* name, const char16_t* title)
{
    log_.Record("calcchannels", "title", Narrow(Text(name)) + ": " + Narrow(Text(title)));
    Channel* channel = Named(name);
    if (!channel) {
        return E_INVALIDARG;
    }
    channel->title = Text(title);
    return S_OK;
}

namespace {

bool IsEventMarkRequest(DWORD kind, const CalcChannelRequest* request)
{
    return kind == kMarkChannelKind && request && request->kind == 4 &&
           static_cast<DWORD>(request->typeCode) == kEventChannelType;
}

} // namespace

HRESULT CalcChannels::PutMarks(DWORD, LONG channel, DWORD kind, const CalcChannelRequest* request)
{
    log_.Record("calcchannels", "putmarks",
                std::to_string(channel) + " " + Hex(kind) + (request ? " " + std::to_string(request->calcChannel) : ""));
    // Marks belong to an event channel of the chart: a request for another kind of channel or record is refused.
    if (!IsEventMarkRequest(kind, request)) {
        return E_INVALIDARG;
    }
    marked_.insert(request->calcChannel);
    return S_OK;
}

HRESULT CalcChannels::RemoveMarks(DWORD, LONG channel, DWORD kind, const CalcChannelRequest* request)
{
    log_.Record("calcchannels", "removemarks",
                std::to_string(channel) + " " + Hex(kind) + (request ? " " + std::to_string(request->calcChannel) : ""));
    // Marks belong to an event channel of the chart: a request for another kind of channel or record is refused.
    if (!IsEventMarkRequest(kind, request)) {
        return E_INVALIDARG;
    }
    marked_.erase(request->calcChannel);
    return S_OK;
}

bool CalcChannels::SetText(LONG channel, std::u16string text)
{
    const auto found = channels_.find(channel);
    if (found == channels_.end()) {
        return false;
    }
    found->second.text = std::move(text);
    return true;
}

HRESULT CalcChannels::GetAbsoluteTime(const KVOPosition* position, LONGLONG* time)
{
    if (!position || !time) {
        return E_POINTER;
    }
    *time = clock_ ? clock_(*position)
                   : (static_cast<LONGLONG>(position->mRecord) << 32) + static_cast<LONGLONG>(position->mRecordOffset);
    return S_OK;
}

HRESULT CalcChannels::FormatTime(LONGLONG time, DWORD flags, DWORD, BSTR* text)
{
    // The stand-in's clock has no calendar: the date is the block, the time the offset.
    const std::string shown = flags == kTimeTextDate ? "B" + std::to_string(time >> 32)
                                                      : "T" + std::to_string(time & 0xFFFFFFFF);
    return GiveText(Widen(shown), text);
}

HRESULT AnalysisManager::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IAnalysisManager, static_cast<IAnalysisManager*>(this)},
                       {&IID_IHostObjectsById, static_cast<IHostObjectsById*>(this)}},
                      iid, out);
}

HRESULT AnalysisManager::RegisterClient(const char16_t* displayName, const char16_t* name, DWORD* cookie)
{
    if (!cookie) {
        return E_POINTER;
    }
    *cookie = nextCookie_++;
    clients_[*cookie] = Client{Text(displayName), Text(name), {}, false};
    log_.Record("analysismanager", "register", Narrow(Text(name)) + " " + std::to_string(*cookie));
    return S_OK;
}

HRESULT AnalysisManager::ReleaseClient(DWORD cookie)
{
    log_.Record("analysismanager", "release", std::to_string(cookie));
    return clients_.erase(cookie) ? S_OK : E_INVALIDARG;
}

HRESULT AnalysisManager::SetPersistObject(DWORD cookie, LONG index, IUnknown* object, VARIANT_BOOL loaded)
{
    log_.Record("analysismanager", "persist", std::to_string(cookie) + " " + std::to_string(index));
    const auto found = clients_.find(cookie);
    if (found == clients_.end()) {
        return E_INVALIDARG;
    }
    found->second.persistObjects[index] = object;
    found->second.loaded = loaded != 0;
    return S_OK;
}

HRESULT AnalysisManager::IsActive(DWORD cookie, VARIANT_BOOL* active)
{
    if (!active) {
        return E_POINTER;
    }
    *active = active_ && clients_.count(cookie) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT AnalysisManager::ReportRange(DWORD cookie, LONG argument, const KVOPosition* start, const KVOPosition* end)
{
    if (!start || !end) {
        return E_POINTER;
    }
    log_.Record("analysismanager", "range",
                std::to_string(cookie) + " " + std::to_string(argument) + " (" + std::to_string(start->mRecord) + "," +
                    std::to_string(start->mRecordOffset) + ")-(" + std::to_string(end->mRecord) + "," +
                    std::to_string(end->mRecordOffset) + ")");
    return S_OK;
}

HRESULT AnalysisManager::GetObjectById(DWORD id, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (id != managerId_) {
        return E_INVALIDARG;
    }
    return Answer(static_cast<IAnalysisManager*>(this), reinterpret_cast<void**>(out));
}

} // namespace host
