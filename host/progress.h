// The host's progress displays: objects made through the host's object factory with a title, which take a
// percentage and a text; the host decides where they show and whether the user cancelled.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/chartcomment.h"
#include "sdk/tableview.h"

#include <functional>
#include <string>

namespace host {

// What a progress display shows; the answer other than S_OK cancels.
struct ProgressReport {
    std::u16string title;
    std::u16string text;
    LONG percent;
};
using ProgressSink = std::function<HRESULT(const ProgressReport&)>;

class ProgressFactory final : public IHostObjectFactory, private HostOwned {
public:
    explicit ProgressFactory(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // A progress display titled `first`; the other texts and words are not read.
    HRESULT Create(DWORD kind, IKVOString* first, IKVOString* second, IKVOString* third, DWORD option,
                   IUnknown** out) override;

    // Where the displays report (none: every report goes on).
    void SetSink(ProgressSink sink) { sink_ = std::move(sink); }
    // Switches the factory off: Create then makes nothing, as a host without progress displays.
    void SetAvailable(bool available) { available_ = available; }

private:
    CallLog& log_;
    ProgressSink sink_;
    bool available_ = true;
};

} // namespace host
