#include "host/progress.h"

#include "sdk/ikvostring.h"

namespace host {

namespace {

class ProgressDisplay final : public IHostProgress, private RefCounted {
public:
    ProgressDisplay(std::u16string title, const ProgressSink& sink) : sink_(sink) { report_.title = std::move(title); }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IHostProgress) {
            return E_NOINTERFACE;
        }
        return Answer(static_cast<IHostProgress*>(this), out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT SetText(IKVOString* text) override
    {
        report_.text = text && text->GetText() ? text->GetText() : u"";
        return S_OK;
    }
    HRESULT SetPercent(LONG percent) override
    {
        report_.percent = percent;
        return sink_ ? sink_(report_) : S_OK;
    }

private:
    ProgressSink sink_; // a copy: the display may outlive a changed sink
    ProgressReport report_{u"", u"", 0};
};

} // namespace

HRESULT ProgressFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IHostObjectFactory) {
        return E_NOINTERFACE;
    }
    return Answer(static_cast<IHostObjectFactory*>(this), out);
}

HRESULT ProgressFactory::Create(DWORD, IKVOString* first, IKVOString*, IKVOString*, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    std::u16string title = first && first->GetText() ? first->GetText() : u"";
    log_.Record("progress", "Create", std::string(title.begin(), title.end()));
    if (!available_) {
        return E_FAIL;
    }
    auto* display = new ProgressDisplay(std::move(title), sink_);
    return display->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

} // namespace host
