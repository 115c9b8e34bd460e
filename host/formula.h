// Sample formulas of the host's calculation class: a channel whose value at time t (seconds) is a formula such as
// "1/(0.01+(1-sin(5*t)))^2 * 0.0001 + threshold(sin(5*t - 2.5),.5)". Numbers, t, + - * / ^, unary minus,
// parentheses, sin(x) and threshold(x, level) (1 above the level, else 0).
#pragma once

#include "host/comobject.h"
#include "sdk/sampleenum.h"

#include <memory>
#include <optional>
#include <string_view>

namespace host {

class Formula {
public:
    virtual ~Formula() = default;
    virtual double At(double t) const = 0;
};

// The formula of the text, or nothing when the text is not one.
std::shared_ptr<const Formula> ParseFormula(std::u16string_view text);

// The samples of a formula at a fixed period from tick 0 on; a formula has no end.
class FormulaSamples final : public IEnumFloatEx, private RefCounted {
public:
    // `owner` answers every interface but IEnumFloatEx (this object is a part of it) and is kept alive.
    FormulaSamples(IUnknown* owner, std::shared_ptr<const Formula> formula, double period, LONG start);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Read(LONG count, float* buffer, LONG* read) override;
    HRESULT Move(LONG delta) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetTimeBase(SourceTimeBase* out) override;

private:
    platform::ComPtr<IUnknown> owner_;
    std::shared_ptr<const Formula> formula_;
    double period_;
    LONG tick_;
};

} // namespace host
