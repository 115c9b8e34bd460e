// An event source over prepared final records, read as a calculation's event enumerator would be.
#pragma once

#include "engine/eventrecords.h"
#include "platform/com/unknown.h"
#include "sdk/calcenum.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace doctest {

using CX::Enum::EventFCalc;

// An event source over prepared records of `size` bytes: each record is an EventFCalc followed by filler bytes.
class PreparedEvents final : public IEnumEventEx {
public:
    PreparedEvents(std::vector<EventFCalc> events, LONG size) : events_(std::move(events)), size_(size) {}

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid != IID_IUnknown && iid != IID_IEnumEventEx) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override
    {
        ++nextCalls;
        if (failAt != 0 && nextCalls >= failAt) {
            return E_FAIL;
        }
        *count = 0;
        auto* out = static_cast<unsigned char*>(buffer);
        while (next_ < events_.size() && static_cast<ULONG>((*count + 1) * size_) <= bufferBytes &&
               (endTick < 0 || events_[next_].tick < endTick)) {
            std::memset(out, 0xAB, static_cast<std::size_t>(size_));
            std::memcpy(out, &events_[next_], std::min<std::size_t>(sizeof(EventFCalc), size_));
            out += size_;
            ++*count;
            ++next_;
        }
        *nextPosition = next_ < events_.size() ? events_[next_].tick : kEndOfBlockTick;
        return next_ < events_.size() ? S_OK : S_FALSE;
    }
    HRESULT Find(LONG, LONG from, LONG, LONG) override
    {
        while (next_ < events_.size() && events_[next_].tick < from) {
            ++next_;
        }
        return S_OK;
    }
    HRESULT GetPosition(LONG*) override { return E_NOTIMPL; }
    HRESULT Skip(LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT Clone(IEnumEventEx**) override { return E_NOTIMPL; }
    HRESULT GetEventSize(LONG* bytes) override
    {
        *bytes = size_;
        return S_OK;
    }
    HRESULT GetDrawType(DWORD*) override { return E_NOTIMPL; }
    HRESULT GetExtension(IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetSourceTimeBase(SourceTimeBase*) override { return E_NOTIMPL; }

    ULONG refs = 1;
    unsigned nextCalls = 0;
    unsigned failAt = 0;

private:
    std::vector<EventFCalc> events_;
    std::size_t next_ = 0;
    LONG size_;
};

// Held by the test and by the results store while its block is open.
inline platform::ComPtr<PreparedEvents> Prepared(std::vector<EventFCalc> events, LONG size)
{
    return platform::ComPtr<PreparedEvents>::Adopt(new PreparedEvents(std::move(events), size));
}

} // namespace doctest
