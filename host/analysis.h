// What the host offers extensions that analyse its documents: the chart data's calculation channels and clock, and
// the analysis manager reached through the application object. Every call is logged under "calcchannels",
// "charttimes" and "analysismanager".
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/analysishost.h"
#include "sdk/analysismanager.h"
#include "sdk/cafevents.h"
#include "sdk/calcchannels.h"
#include "sdk/charttimes.h"
#include "sdk/recording.h"

#include <functional>
#include <map>
#include <set>
#include <string>

namespace host {

class CalcChannels final : public IChartCalcChannels,
                           public IChartTimes,
                           public ICalcTextTarget,
                           public IChannelCalculation,
                           public IMessageHandler,
                           private RefCounted {
public:
    struct Channel {
        std::u16string name;
        std::u16string title;
        bool on = false;
        std::u16string text; // the calculation text, as the channel-calculation message set it
        std::u16string unit; // the unit that came with it
    };

    // Created with one reference for the caller.
    static CalcChannels* Create(CallLog& log) { return new CalcChannels(log); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IChartCalcChannels
    HRESULT AddChannel(DWORD reserved, VARIANT_BOOL flag, DWORD reserved2, BSTR* name, std::int32_t* pair) override;
    HRESULT GetChannelText(DWORD reserved, LONG channel, DWORD kind, BSTR* text) override;
    HRESULT RemoveChannel(DWORD reserved, const char16_t* name) override;
    HRESULT GetState(DWORD reserved, const char16_t* name, VARIANT_BOOL* on) override;
    HRESULT SetState(DWORD reserved, const char16_t* name, VARIANT_BOOL on) override;
    HRESULT SetTitle(DWORD reserved, const char16_t* name, const char16_t* title) override;
    HRESULT PutMarks(DWORD reserved, LONG channel, DWORD kind, const CalcChannelRequest* request) override;
    HRESULT RemoveMarks(DWORD reserved, LONG channel, DWORD kind, const CalcChannelRequest* request) override;
    // ICalcTextTarget: the channel's calculation takes the new text (a channel it does not know: E_INVALIDARG).
    HRESULT SendCalcText(DWORD messageId, LONG channel, DWORD kind, const char16_t* text,
                         const char16_t* second) override;
    // IChannelCalculation: the channel-calculation message with a text and its unit (kept as the channel's unit).
    HRESULT SetCalculation(DWORD messageId, IKVOString* text, IKVOString* unit,
                           const ChannelReference* channel) override;
    // IMessageHandler, as the calculation source of every calculation channel: a message whose value is the array
    // {text, second text, channel, kind} gives the channel its new text (1: taken); the rest are not taken.
    HRESULT HandleMessage(IMessage* message) override;
    HRESULT AddHandler(IMessageHandler*) override { return S_OK; }
    HRESULT RemoveHandler(IMessageHandler* handler) override { return handler ? E_FAIL : 1; }
    HRESULT SetParent(IMessageHandler*) override { return S_OK; }
    HRESULT GetOwner(IUnknown** owner) override;
    BOOL Accepts(IMessage*) override { return TRUE; }
    // IChartTimes
    HRESULT GetAbsoluteTime(const KVOPosition* position, LONGLONG* time) override;
    HRESULT FormatTime(LONGLONG time, DWORD flags, DWORD value, BSTR* text) override;

    // Live channels by number; numbers count up from `firstNumber` and are never reused.
    const std::map<LONG, Channel>& Channels() const { return channels_; }
    // The calculation channels whose events are marked in the chart now.
    const std::set<LONG>& Marked() const { return marked_; }
    void SetFirstNumber(LONG number) { next_ = number; }
    // Sets a channel's calculation text (what the channel-calculation expression message carries).
    bool SetText(LONG channel, std::u16string text);
    // The absolute time of a position: (block << 32) + offset until a test sets another clock.
    using Clock = std::function<LONGLONG(const KVOPosition&)>;
    void SetClock(Clock clock) { clock_ = std::move(clock); }

private:
    explicit CalcChannels(CallLog& log) : log_(log) { AddRefCount(); }
    Channel* Named(const char16_t* name);

    CallLog& log_;
    std::map<LONG, Channel> channels_;
    std::set<LONG> marked_;
    LONG next_ = 8;
    Clock clock_;
};

// The host's locator of calculation sources (framework object n 1 of the channel-calculation message class): the
// source of a chart's calculation channel is the chart's calculation channels. One for the host, never freed.
class CalcSourceLocator final : public ICalcSourceLocator {
public:
    explicit CalcSourceLocator(CallLog& log) : log_(log) {}
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT FindCalcSource(IUnknown* chart, LONG channel, DWORD kind, IMessageHandler** source) override;

private:
    CallLog& log_;
};

// The analysis manager and the application object that leads to it.
class AnalysisManager final : public IAnalysisManager, public IHostObjectsById, private RefCounted {
public:
    struct Client {
        std::u16string displayName;
        std::u16string name;
        std::map<LONG, IUnknown*> persistObjects; // not held: the client withdraws them when it goes
        bool loaded = false;
    };

    // Created with one reference for the caller; `managerId` is the id the object-by-id lookup answers.
    static AnalysisManager* Create(CallLog& log, DWORD managerId) { return new AnalysisManager(log, managerId); }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IAnalysisManager
    HRESULT RegisterClient(const char16_t* displayName, const char16_t* name, DWORD* cookie) override;
    HRESULT ReleaseClient(DWORD cookie) override;
    HRESULT SetPersistObject(DWORD cookie, LONG index, IUnknown* object, VARIANT_BOOL loaded) override;
    HRESULT IsActive(DWORD cookie, VARIANT_BOOL* active) override;
    HRESULT ReportRange(DWORD cookie, LONG argument, const KVOPosition* start, const KVOPosition* end) override;
    // IHostObjectsById (the application object)
    HRESULT GetObjectById(DWORD id, DWORD reserved, IUnknown** out) override;

    const std::map<DWORD, Client>& Clients() const { return clients_; }
    // Whether IsActive answers true for registered clients (true by default).
    void SetActive(bool active) { active_ = active; }

private:
    AnalysisManager(CallLog& log, DWORD managerId) : log_(log), managerId_(managerId) { AddRefCount(); }

    CallLog& log_;
    DWORD managerId_;
    std::map<DWORD, Client> clients_;
    DWORD nextCookie_ = 1;
    bool active_ = true;
};

} // namespace host
