// The base of the self tests that the host's test registry runs: a list of sub-tests that the host runs one at a
// time by index, reading after each run whether it passed and, if not, the failure text.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "sdk/unittest.h"

#include <boost/function.hpp>

#include <cstdint>
#include <exception>
#include <vector>

template <>
struct InterfaceIdOf<IUnitTest> {
    static constexpr const IID& value = IID_IUnitTest;
};

// A failed check of a sub-test; the message is the failure text.
class UnitTestException : public std::exception {
public:
    explicit UnitTestException(KVO::String message) : message_(std::move(message)) {}
    const KVO::String& Message() const { return message_; }

private:
    KVO::String message_;
};

// The failure text of a check: the file name (after its last "\\"), ", Line ", the line, then " [condition]" and
// ", [message]" when they are not empty. File and condition are 8-bit text in the ANSI code page.
KVO::String MakeFailureText(const char* conditionText, const char* sourceFile, std::int32_t line,
                            const KVO::String& message);

// Throws UnitTestException with the failure text when the condition is false.
void UnitTestCheck(bool condition, const char* conditionText, const char* sourceFile, std::int32_t line,
                   const KVO::String& message = KVO::String());

class UnitTestBase : public SimpleUnknownImp1<IUnitTest, 0> {
public:
    // IUnitTest
    HRESULT GetSubTestCount(LONG* count) override;
    HRESULT RunSubTest(LONG index) override;
    HRESULT GetSubTestName(LONG index, IKVOString** name) override;
    HRESULT GetResult(VARIANT_BOOL* passed, IKVOString** message) override;
    HRESULT Declare() override;
    HRESULT GetContact(IKVOString** contact) override;
    HRESULT GetSubTestValue(LONG index, double* value) override;

protected:
    UnitTestBase() = default;
    ~UnitTestBase() override = default;

    // Appends the test's sub-tests (AddSubTest), in declaration order.
    virtual void DeclareSubTests() = 0;
    // Sets the contact text (SetContact).
    virtual void FillContact() = 0;
    virtual void SetUp() {}
    virtual void TearDown() {}

    // The name is 8-bit text in the ANSI code page; every sub-test of the module has the value 60.0.
    void AddSubTest(boost::function<void()> subTest, const char* fullName);
    void SetContact(const char16_t* owner, bool calculations);

private:
    bool ValidIndex(LONG index) const { return index >= 0 && static_cast<std::size_t>(index) < subTests_.size(); }

    std::vector<boost::function<void()>> subTests_;
    std::vector<KVO::String> names_;
    std::vector<double> values_;
    bool passed_ = true;
    KVO::String message_;
    KVO::String contact_;
};
