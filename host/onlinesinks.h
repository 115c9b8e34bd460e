// The listeners to a data source's sampling: subscribed sinks, each held with a reference, told in the order they
// subscribed.
#pragma once

#include "sdk/datasource.h"

#include <algorithm>
#include <vector>

namespace host {

class OnlineSinks {
public:
    HRESULT Subscribe(IOnlineDataSink* sink)
    {
        if (!sink) {
            return E_POINTER;
        }
        sinks_.emplace_back(sink);
        return S_OK;
    }
    // S_FALSE for a sink that is not subscribed.
    HRESULT Unsubscribe(IOnlineDataSink* sink)
    {
        const auto found =
            std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& held) { return held.Get() == sink; });
        if (found == sinks_.end()) {
            return S_FALSE;
        }
        sinks_.erase(found);
        return S_OK;
    }
    // Calls `tell` with every sink; a sink may unsubscribe while it is told.
    template <class Tell>
    void ForEach(Tell tell) const
    {
        const auto sinks = sinks_;
        for (const auto& sink : sinks) {
            tell(*sink.Get());
        }
    }
    std::size_t Size() const { return sinks_.size(); }

private:
    std::vector<platform::ComPtr<IOnlineDataSink>> sinks_;
};

} // namespace host
