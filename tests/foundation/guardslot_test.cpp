// No exception crosses an interface slot, and none reaches the host as success.
#include "foundation/xkvo.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace {

TEST(GuardSlot, EscapingExceptionsBecomeFailures)
{
    struct Case {
        const char* name;
        std::function<HRESULT()> body;
        HRESULT expected;
    };
    const Case cases[] = {
        {"returns", [] { return S_FALSE; }, S_FALSE},
        {"XKVO failure", []() -> HRESULT { throw XKVO(E_INVALIDARG); }, E_INVALIDARG},
        {"XKVO S_OK", []() -> HRESULT { throw XKVO(S_OK); }, E_FAIL},
        {"XKVO S_FALSE", []() -> HRESULT { throw XKVO(S_FALSE); }, E_FAIL},
        {"XKVO other success", []() -> HRESULT { throw XKVO(MakeHResult(0x00040001u)); }, E_FAIL},
        {"allocation", []() -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"anything else", []() -> HRESULT { throw std::runtime_error("x"); }, E_FAIL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KVO::GuardSlot(c.body), c.expected) << c.name;
    }
}

} // namespace
