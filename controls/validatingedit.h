// Edits that check their text while the user types and show a failure through an error mark beside them instead
// of a message box, and the range validators they use.
#pragma once

#include "controls/nothrow.h"
#include "platform/owl/control.h"

namespace KVOControls {

class ErrorProvider;

class KVORangeValidator : public owl::TRangeValidator {
public:
    KVORangeValidator(long minimum, long maximum) : TRangeValidator(minimum, maximum) {}
};

// A range validator that reports its error through an error mark (not owned).
class LongRangeValidatorErrProv : public KVORangeValidator {
public:
    LongRangeValidatorErrProv(long minimum, long maximum, ErrorProvider* provider)
        : KVORangeValidator(minimum, maximum), provider(provider)
    {
    }
    void Error(owl::TWindow* owner) override;
    ErrorProvider* GetErrorProvider() const { return provider; }

private:
    ErrorProvider* provider;
};

}

// The validating edit over a dialog's control 1001.
class ValidatingEdit : public owl::TEdit {
public:
    static constexpr int kControlId = 1001;
    static constexpr owl::uint kTextLimit = 255;

    explicit ValidatingEdit(owl::TWindow* parent);
    // The mark that shows the failures (not owned); none leaves validation errors to the validator.
    virtual void SetErrorProvider(KVOControls::ErrorProvider* provider);
    KVOControls::ErrorProvider* GetErrorProvider() const { return errorProvider; }
    // Whether the text is a number of the edit's kind.
    virtual bool IsValidNumber() = 0;

    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        return KVOControls::NoThrow([&] { return TEdit::WindowProc(message, p1, p2); });
    }
    void EvChar(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvChildInvalid(HWND edit) override;
    bool EvNotifyAtChild(owl::uint notifyCode) override;

protected:
    // Shows or clears the mark for the text as it is now.
    void Recheck();

    KVOControls::ErrorProvider* errorProvider = nullptr;
};

// A whole number, digits only, from 1 to 10 until the owner gives another range.
class IntEdit : public ValidatingEdit {
public:
    explicit IntEdit(owl::TWindow* parent);
    void SetupWindow() override;
    void SetErrorProvider(KVOControls::ErrorProvider* provider) override;
    bool IsValidNumber() override;
};
