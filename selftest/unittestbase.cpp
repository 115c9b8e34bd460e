#include "selftest/unittestbase.h"

#include "foundation/xkvo.h"

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
    passed_ = true;
    message_ = KVO::String();
    if (!ValidIndex(index)) {
        return E_INVALIDARG;
    }
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
        message_ = KVO::String(failure.what());
    } catch (...) {
        passed_ = false;
        message_ = KVO::String(u"Unknown exception");
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
