#include "host/progress.h"

#include "sdk/ikvostring.h"

#include <string>

namespace host {


class ProgressIndicator final : public IProgressIndicator, private RefCounted {
public:
    explicit ProgressIndicator(ProgressService& service) : service_(service)
    {
        AddRefCount();
        ++service_.live_;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IProgressIndicator, static_cast<IProgressIndicator*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT SetText(const char16_t* text) override
    {
        text_ = text ? text : u"";
        service_.reports_.push_back({text_, -1});
        service_.log_.Record("progress", "SetText", Narrow(text_));
        Draw(percent_);
        return S_OK;
    }

    HRESULT ReportPercent(std::int32_t percent, std::int32_t* cancel) override
    {
        percent_ = percent;
        service_.reports_.push_back({{}, percent});
        Draw(percent);
        const bool stop = service_.cancelAt_ && percent >= *service_.cancelAt_;
        if (cancel) {
            *cancel = stop ? 1 : 0;
        }
        return S_OK;
    }

private:
    ~ProgressIndicator() override
    {
        --service_.live_;
        if (service_.terminal_ && drawn_) {
            std::fputc('\n', service_.terminal_);
        }
    }

    void Draw(std::int32_t percent)
    {
        if (!service_.terminal_) {
            return;
        }
        std::fprintf(service_.terminal_, "\r%s: %d%%", Narrow(text_).c_str(), static_cast<int>(percent));
        std::fflush(service_.terminal_);
        drawn_ = true;
    }

    ProgressService& service_;
    std::u16string text_;
    std::int32_t percent_ = 0;
    bool drawn_ = false;
};

HRESULT ProgressService::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostObjectFactory, static_cast<IHostObjectFactory*>(this)}}, iid, out);
}

HRESULT ProgressService::Create(DWORD kind, IKVOString* first, IKVOString*, IKVOString*, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    const std::u16string name = first && first->GetText() ? first->GetText() : u"";
    log_.Record("progress", "Create", Narrow(name));
    if (!available_ || kind != 1 || name != u"Processing") {
        return E_FAIL;
    }
    ++made_;
    *out = static_cast<IProgressIndicator*>(new ProgressIndicator(*this));
    return S_OK;
}

} // namespace host
