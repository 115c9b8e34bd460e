// A calculation class registered with the host's framework whose enumerators break the conformance routines on
// purpose: each instance evaluates its text with the host's evaluator and then misbehaves as its class says.
#pragma once

#include "host/calcevaluator.h"
#include "host/framework.h"
#include "host/hostcalcclass.h"
#include "sdk/calcenum.h"
#include "sdk/chartdata.h"
#include "sdk/datasource.h"

#include <algorithm>
#include <cstring>
#include <vector>

enum class Breakage {
    NoEventInterface, // the calculation offers no event enumerator
    FailingNext,      // Next fails
    StallingNext,     // to the end of the record Next delivers nothing and stays where it is, for ever
    RepeatingNext,    // Next fills the buffer with the same records and stays where it is, for ever
    HoldingBack,      // online every event waits for the end of the record (not broken, only late)
    OnlineSkip,       // online the third event is left out
    OnlineValue,      // online (a record still growing) the second event's value differs
    EarlyFalse,       // S_FALSE without the end-of-record position whenever nothing is delivered
    FindClaims,       // a forward Find that finds nothing in its range answers S_OK
    FindOvershoots,   // a backward Find that finds nothing in its range goes on to the event below it
    OverCounting,     // Next counts one record more than its buffer holds whenever it delivers any
    EndlessRecord,    // where the record ends Next answers S_OK at the end it was asked for, at most the record's
                      // length, and never gives the end-of-record position
};
constexpr int kBreakages = static_cast<int>(Breakage::EndlessRecord) + 1;

class BrokenEnum final : public ICalcEnum, public IEnumEventEx, private host::RefCounted {
public:
    BrokenEnum(ICalcEnumClass2* owner, platform::ComPtr<ICalcEnum> inner, Breakage breakage, IUnknown* chart)
        : owner_(owner), inner_(std::move(inner)), breakage_(breakage), chart_(chart)
    {
        inner_->QueryInterface(IID_IEnumEventEx, events_.OutVoid());
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IEnumEventEx && breakage_ == Breakage::NoEventInterface) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return host::AnswerFrom({{&IID_ICalcEnum, static_cast<ICalcEnum*>(this)},
                                 {&IID_IEnumEventEx, static_cast<IEnumEventEx*>(this)}},
                                iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetClassId(DWORD* id) override { return inner_->GetClassId(id); }
    HRESULT GetClassObject(ICalcEnumClass2** out) override
    {
        owner_->AddRef();
        *out = owner_;
        return S_OK;
    }
    HRESULT Parse(IKVOString* text, DWORD* flags) override { return inner_->Parse(text, flags); }
    HRESULT Write(IKVOString** text) override { return inner_->Write(text); }
    HRESULT Clone(ICalcEnum**) override { return E_NOTIMPL; }
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override
    {
        online_ = flag == kStopAtGapFlag;
        delivered_ = 0;
        block_ = block;
        return inner_->SetSources(block, count, sources, units, tickPeriod, flag);
    }
    HRESULT SeekStart(LONG tick) override
    {
        position_ = tick;
        return inner_->SeekStart(tick);
    }
    HRESULT ReleaseSources() override { return inner_->ReleaseSources(); }
    HRESULT QueryFlags(DWORD a, DWORD b, DWORD* out) override { return inner_->QueryFlags(a, b, out); }
    HRESULT Notify1(DWORD, DWORD) override { return S_OK; }
    HRESULT Notify2(DWORD, DWORD) override { return S_OK; }
    HRESULT GetTickPeriod(double* period, IKVOString** text) override { return inner_->GetTickPeriod(period, text); }
    HRESULT GetCapabilities(DWORD* out) override { return inner_->GetCapabilities(out); }
    HRESULT GetStatus(DWORD* out) override { return inner_->GetStatus(out); }
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override { return inner_->GetSourceTimeBase(out); }
    void DeleteThis() override { delete this; }

    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override
    {
        switch (breakage_) {
        case Breakage::FailingNext: return E_FAIL;
        case Breakage::StallingNext:
            *count = 0;
            *nextPosition = endTick == 0x7FFFFFFF ? position_ : endTick;
            return S_OK;
        case Breakage::RepeatingNext: {
            LONG size = 0;
            events_->GetEventSize(&size);
            *count = size > 0 ? static_cast<LONG>(bufferBytes / static_cast<ULONG>(size)) : 0;
            std::memset(buffer, 0, static_cast<std::size_t>(*count) * static_cast<std::size_t>(size));
            *nextPosition = position_;
            return S_OK;
        }
        default: break;
        }
        LONG size = 0;
        events_->GetEventSize(&size);
        if (breakage_ == Breakage::HoldingBack && online_) {
            return HeldBack(bufferBytes, buffer, count, nextPosition, size);
        }
        const HRESULT hr = events_->Next(bufferBytes, endTick, buffer, count, nextPosition);
        if (breakage_ == Breakage::OnlineValue && online_ && delivered_ <= 1 && delivered_ + *count > 1) {
            auto* second = static_cast<std::byte*>(buffer) + static_cast<std::size_t>(1 - delivered_) * size;
            double value = 0;
            std::memcpy(&value, second + 8, sizeof value); // every record's value follows its tick and offset
            value += 1.0;
            std::memcpy(second + 8, &value, sizeof value);
        }
        if (breakage_ == Breakage::OnlineSkip && online_ && delivered_ <= 2 && delivered_ + *count > 2) {
            auto* bytes = static_cast<std::byte*>(buffer);
            const auto third = static_cast<std::size_t>(2 - delivered_) * static_cast<std::size_t>(size);
            const auto end = static_cast<std::size_t>(*count) * static_cast<std::size_t>(size);
            std::memmove(bytes + third, bytes + third + size, end - third - size);
            --*count;
            ++delivered_;
        }
        if (breakage_ == Breakage::OverCounting && size > 0 && *count > 0) {
            *count = static_cast<LONG>(bufferBytes / static_cast<ULONG>(size)) + 1;
        }
        if (breakage_ == Breakage::EarlyFalse && hr == S_OK && *count == 0) {
            return S_FALSE;
        }
        if (breakage_ == Breakage::EndlessRecord && hr == S_FALSE) {
            *nextPosition = std::min(endTick < 0 ? 0x7FFFFFFF : endTick, RecordLength());
            return S_OK;
        }
        delivered_ += std::max<LONG>(*count, 0);
        return hr;
    }
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override
    {
        const HRESULT hr = events_->Find(direction, from, low, high);
        if (hr == S_FALSE && direction == 0 && breakage_ == Breakage::FindClaims) {
            return S_OK;
        }
        if (hr == S_FALSE && direction != 0 && breakage_ == Breakage::FindOvershoots && low > 0) {
            events_->Find(1, low - 1, 0, low);
        }
        return hr;
    }
    HRESULT GetPosition(LONG* tick) override { return events_->GetPosition(tick); }
    HRESULT Skip(LONG n, LONG* skipped) override { return events_->Skip(n, skipped); }
    HRESULT Clone(IEnumEventEx**) override { return E_NOTIMPL; }
    HRESULT GetEventSize(LONG* bytes) override { return events_->GetEventSize(bytes); }
    HRESULT GetDrawType(DWORD* id) override { return events_->GetDrawType(id); }
    HRESULT GetExtension(IUnknown** out) override { return events_->GetExtension(out); }

private:
    // The samples of the enumerated record, as the chart's data source counts them.
    LONG RecordLength() const
    {
        platform::ComPtr<IChartDocument> chart;
        platform::ComPtr<IUnknown> link;
        platform::ComPtr<IDataSource> source;
        LONG length = 0;
        if (chart_ && SUCCEEDED(chart_->QueryInterface(IID_IChartDocument, chart.OutVoid())) &&
            SUCCEEDED(chart->GetDataSourceLink(link.Out())) && link &&
            SUCCEEDED(link->QueryInterface(IID_IDataSource, source.OutVoid()))) {
            source->GetSampleCount(0, block_, &length);
        }
        return length;
    }

    // Reads everything the inner enumerator has; nothing is delivered until it reports the end of the record.
    HRESULT HeldBack(ULONG bufferBytes, void* buffer, LONG* count, LONG* nextPosition, LONG size)
    {
        const auto recordBytes = static_cast<std::size_t>(size);
        std::vector<std::byte> batch(bufferBytes);
        while (!ended_) {
            LONG read = 0;
            LONG next = 0;
            const HRESULT hr = events_->Next(bufferBytes, 0x7FFFFFFF, batch.data(), &read, &next);
            held_.insert(held_.end(), batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(read * size));
            ended_ = hr == S_FALSE;
            if (FAILED(hr) || read == 0) {
                break;
            }
        }
        *count = 0;
        *nextPosition = position_;
        if (!ended_) {
            return S_OK;
        }
        const std::size_t records = std::min<std::size_t>(bufferBytes / recordBytes, held_.size() / recordBytes);
        std::memcpy(buffer, held_.data(), records * recordBytes);
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(records * recordBytes));
        *count = static_cast<LONG>(records);
        if (held_.empty()) {
            *nextPosition = 0x7FFFFFFF;
            return S_FALSE;
        }
        std::memcpy(nextPosition, held_.data(), sizeof(LONG));
        return S_OK;
    }

    std::vector<std::byte> held_;
    bool ended_ = false;
    ICalcEnumClass2* owner_;
    platform::ComPtr<ICalcEnum> inner_;
    platform::ComPtr<IEnumEventEx> events_;
    Breakage breakage_;
    platform::ComPtr<IUnknown> chart_; // the chart data the calculation was made for
    bool online_ = false;
    LONG delivered_ = 0;
    LONG position_ = 0;
    LONG block_ = 0;
};

// One class per breakage; its type id is what the routines' configuration names.
class BrokenCalcClass final : public host::HostCalcClass {
public:
    BrokenCalcClass(host::Host& host, Breakage breakage, const GUID& classId)
        : HostCalcClass(u"Broken", u"Breaks the conformance routines"), host_(host), breakage_(breakage)
    {
        WORD shortId = 0;
        host.GetFramework().GetShortId(&classId, &shortId);
        typeId_ = static_cast<DWORD>(shortId) << 16;
        host.GetFramework().AddHostClass(classId, static_cast<ICalcEnumClass2*>(this));
    }

    DWORD TypeId() const { return typeId_; }
    // The chart data that the last instance was made for, held so that a test can see who else still holds it.
    platform::ComPtr<IUnknown> lastContext;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return host::AnswerFrom({{&IID_ICalcEnumClass2, static_cast<ICalcEnumClass2*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return HostCalcClass::AddRef(); }
    ULONG Release() override { return HostCalcClass::Release(); }
    HRESULT CreateInstance(IUnknown* context, ICalcEnum** out) override
    {
        lastContext = context;
        platform::ComPtr<ICalcEnum> inner;
        const HRESULT hr = host_.Evaluator().CreateInstance(context, inner.Out());
        if (FAILED(hr)) {
            return hr;
        }
        *out = new BrokenEnum(this, inner, breakage_, context);
        (*out)->AddRef();
        return S_OK;
    }

private:
    host::Host& host_;
    Breakage breakage_;
    DWORD typeId_ = 0;
};
