// OWL's validators: an edit's check of its text. A failed check is reported by Error, which by default tells the
// user in a message box.
#pragma once

#include "platform/owl/geometry.h"
#include "platform/win/winuser.h"

namespace owl {

class TWindow;

class TValidator {
public:
    virtual ~TValidator() = default;
    // Whether a complete text is valid.
    virtual bool IsValid(LPCWSTR text);
    // Whether a partial text, as typed, may stand.
    virtual bool IsValidInput(LPWSTR text, bool suppressFill);
    virtual void Error(TWindow* owner);
    // IsValid, and Error when it is not.
    bool Valid(LPCWSTR text, TWindow* owner = nullptr);
};

// Whole numbers from a minimum to a maximum; the typed text may hold digits and a leading sign.
class TRangeValidator : public TValidator {
public:
    TRangeValidator(long minimum, long maximum);
    long GetMin() const { return Min; }
    long GetMax() const { return Max; }
    void SetMin(long minimum) { Min = minimum; }
    void SetMax(long maximum) { Max = maximum; }
    bool IsValid(LPCWSTR text) override;
    bool IsValidInput(LPWSTR text, bool suppressFill) override;
    void Error(TWindow* owner) override;

protected:
    long Min;
    long Max;
};
}
