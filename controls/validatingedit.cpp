#include "controls/validatingedit.h"

#include "controls/errorprovider.h"
#include "foundation/formatstream.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "resources/stringtable.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace KVOControls {

void LongRangeValidatorErrProv::Error(owl::TWindow* owner)
{
    if (!provider) {
        KVORangeValidator::Error(owner);
        return;
    }
    static const KVO::String title = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::RangeErrorTitle, true);
    static const KVO::String format =
        KVO::LoadResourceString(KVO::ModuleInstance(), StringId::RangeErrorMessage, true);
    KVO::OFormatStringStream message(format);
    message << Min << Max;
    provider->SetError(true, title, message.str());
}

}

ValidatingEdit::ValidatingEdit(owl::TWindow* parent) : TEdit(parent, kControlId, kTextLimit) {}

void ValidatingEdit::SetErrorProvider(KVOControls::ErrorProvider* provider) { errorProvider = provider; }

void ValidatingEdit::EvChar(owl::uint key, owl::uint repeatCount, owl::uint flags)
{
    TEdit::EvChar(key, repeatCount, flags);
    Recheck();
}

bool ValidatingEdit::EvNotifyAtChild(owl::uint notifyCode)
{
    // Deletions, pastes and set texts change the text without a typed character: the mark follows each change.
    if (notifyCode == EN_CHANGE) {
        Recheck();
    }
    return false; // the dialog still hears of the change
}

void ValidatingEdit::Recheck()
{
    if (!errorProvider) {
        return;
    }
    if (IsValidNumber() && IsValid(false)) {
        errorProvider->SetError(false, KVO::String(), KVO::String());
    } else {
        ValidatorError();
    }
}

void ValidatingEdit::EvChildInvalid(HWND edit)
{
    if (!errorProvider) {
        TEdit::EvChildInvalid(edit); // the mark tells it otherwise
    }
}

IntEdit::IntEdit(owl::TWindow* parent) : ValidatingEdit(parent) { SetValidator(new KVOControls::KVORangeValidator(1, 10)); }

void IntEdit::SetupWindow()
{
    ValidatingEdit::SetupWindow();
    ModifyStyle(0, ES_NUMBER);
}

void IntEdit::SetErrorProvider(KVOControls::ErrorProvider* provider)
{
    ValidatingEdit::SetErrorProvider(provider);
    long minimum = 1;
    long maximum = 10;
    if (auto* range = dynamic_cast<owl::TRangeValidator*>(GetValidator())) {
        minimum = range->GetMin();
        maximum = range->GetMax();
    }
    if (provider) {
        SetValidator(new KVOControls::LongRangeValidatorErrProv(minimum, maximum, provider));
    } else {
        SetValidator(new KVOControls::KVORangeValidator(minimum, maximum));
    }
}

bool IntEdit::IsValidNumber()
{
    // The first 29 characters, read as a decimal long: valid when something was read and nothing is left over.
    const std::u16string text = GetText().substr(0, 29);
    if (text.empty()) {
        return false;
    }
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F) {
            return false;
        }
        narrow += static_cast<char>(c);
    }
    char* end = nullptr;
    errno = 0;
    std::strtol(narrow.c_str(), &end, 10);
    return end != narrow.c_str() && *end == '\0';
}
