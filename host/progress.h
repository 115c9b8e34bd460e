// The host's progress indicator and the factory that makes it by name. Tests script a cancel at a percentage; on
// the terminal the indicator writes one progress line to standard error.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/analysishost.h"
#include "sdk/chartcomment.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace host {

class ProgressService final : public IHostObjectFactory, private HostOwned {
public:
    explicit ProgressService(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IHostObjectFactory: kind 1 with the first text "Processing" makes a progress indicator; nothing else.
    HRESULT Create(DWORD kind, IKVOString* first, IKVOString* second, IKVOString* third, DWORD option,
                   IUnknown** out) override;

    // Whether indicators can be made at all (a host without one).
    void SetAvailable(bool available) { available_ = available; }
    // The first report at or above `percent` answers cancel; nullopt never cancels.
    void SetCancelAt(std::optional<std::int32_t> percent) { cancelAt_ = percent; }
    // Where indicators write their line ("\r<text>: <percent>%"); null writes nothing.
    void SetTerminal(std::FILE* terminal) { terminal_ = terminal; }

    // What every indicator was told, in order, since the last Reset.
    struct Report {
        std::u16string text;
        std::int32_t percent = -1; // -1 for a text
    };
    const std::vector<Report>& Reports() const { return reports_; }
    int Made() const { return made_; }
    int Live() const { return live_; }
    void Reset()
    {
        reports_.clear();
        made_ = 0;
    }

private:
    friend class ProgressIndicator;
    CallLog& log_;
    bool available_ = true;
    std::optional<std::int32_t> cancelAt_;
    std::FILE* terminal_ = nullptr;
    std::vector<Report> reports_;
    int made_ = 0;
    int live_ = 0;
};

} // namespace host
