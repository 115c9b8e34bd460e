#include "selftest/unittestbase.h"

#include "foundation/xkvo.h"

#include <cstring>
#include <string>
#include <string_view>

KVO::String MakeFailureText(const char* conditionText, const char* sourceFile, std::int32_t line,
                            const KVO::String& message)
{
    // Only "\\" separates folders: the failure texts name files as the platform's tools wrote them.
    const char* fileName = sourceFile ? sourceFile : "";
    if (const char* slash = std::strrchr(fileName, '\\')) {
        fileName = slash + 1;
    }
    const KVO::String file(fileName);
    const KVO::String condition(conditionText ? conditionText : "");
    std::u16string text(file.View());
    text += u", Line ";
    for (char digit : std::to_string(line)) {
        text += static_cast<char16_t>(digit);
    }
    if (!condition.View().empty()) {
        text.append(u" [").append(condition.View()).append(u"]");
    }
    if (!message.View().empty()) {
        text.append(u", [").append(message.View()).append(u"]");
    }
    return KVO::String(text);
}

UnitTestException::UnitTestException(KVO::String text, KVO::String place)
    : text_(std::move(text)), place_(std::move(place)), message_(text_)
{
    if (!place_.IsEmpty()) {
        std::u16string full(text_.View());
        full.append(u" (").append(place_.View()).append(u")");
        message_ = KVO::String(full);
    }
}

KVO::String SourcePlace(const CallPlace& where)
{
    // The compiler names the file by the path it was given; the folder and the name are what lead to it here.
    const std::string_view path(where.file);
    std::size_t start = 0;
    const std::size_t last = path.find_last_of("/\\");
    if (last != std::string_view::npos && last > 0) {
        const std::size_t before = path.find_last_of("/\\", last - 1);
        start = before == std::string_view::npos ? 0 : before + 1;
    }
    std::u16string place(path.begin() + static_cast<std::ptrdiff_t>(start), path.end());
    place += u':';
    for (char digit : std::to_string(where.line)) {
        place += static_cast<char16_t>(digit);
    }
    return KVO::String(place);
}

void UnitTestCheck(bool condition, const char* conditionText, const char* sourceFile, std::int32_t line,
                   const KVO::String& message, const CallPlace& where)
{
    if (!condition) {
        throw UnitTestException(MakeFailureText(conditionText, sourceFile, line, message), SourcePlace(where));
    }
}

HRESULT UnitTestBase::GetSubTestCount(LONG* count)
{
    if (!count) {
        return E_FAIL;
    }
    *count = static_cast<LONG>(subTests_.size());
    return S_OK;
}

HRESULT UnitTestBase::RunSubTest(LONG index)
{
    if (!ValidIndex(index)) {
        return E_INVALIDARG;
    }
    passed_ = true;
    message_ = KVO::String();
    // Set-up, sub-test and tear-down in one guarded region: a failure skips the rest. Failures other than a failed
    // check are reported too, since nothing may escape to the host.
    try {
        SetUp();
        subTests_[static_cast<std::size_t>(index)]();
        TearDown();
    } catch (const UnitTestException& failure) {
        passed_ = false;
        message_ = failure.Message();
    } catch (const std::exception& failure) {
        passed_ = false;
        message_ = KVO::String(u"unexpected exception: ");
        message_ += KVO::String(failure.what());
    } catch (...) {
        passed_ = false;
        message_ = KVO::String(u"unexpected exception: unknown");
    }
    return S_OK;
}

HRESULT UnitTestBase::GetSubTestName(LONG index, IKVOString** name)
{
    if (!name) {
        return E_POINTER;
    }
    if (!ValidIndex(index)) {
        *name = nullptr;
        return E_INVALIDARG;
    }
    *name = names_[static_cast<std::size_t>(index)].GetInterface();
    return S_OK;
}

HRESULT UnitTestBase::GetResult(VARIANT_BOOL* passed, IKVOString** message)
{
    if (passed) {
        *passed = passed_ ? VARIANT_TRUE : VARIANT_FALSE;
    }
    if (message) {
        *message = KVO::String(message_.c_str()).GetInterface();
    }
    return S_OK;
}

HRESULT UnitTestBase::Declare()
{
    // Declaring again lists every sub-test once.
    subTests_.clear();
    names_.clear();
    values_.clear();
    return KVO::GuardSlot([&] {
        DeclareSubTests();
        return S_OK;
    });
}

HRESULT UnitTestBase::GetContact(IKVOString** contact)
{
    if (!contact) {
        return E_POINTER;
    }
    *contact = nullptr;
    return KVO::GuardSlot([&] {
        FillContact();
        *contact = contact_.GetInterface();
        return S_OK;
    });
}

HRESULT UnitTestBase::GetSubTestValue(LONG index, double* value)
{
    if (!value) {
        return E_POINTER;
    }
    if (!ValidIndex(index)) {
        return E_INVALIDARG;
    }
    *value = values_[static_cast<std::size_t>(index)];
    return S_OK;
}

void UnitTestBase::AddSubTest(boost::function<void()> subTest, const char* fullName)
{
    subTests_.push_back(std::move(subTest));
    names_.emplace_back(fullName);
    values_.push_back(60.0);
}

void UnitTestBase::SetContact(const char16_t* owner, bool calculations)
{
    contact_ = KVO::String(owner);
    contact_ += calculations ? u" (calculation tests)" : u" (document tests)";
}
