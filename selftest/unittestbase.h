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

// A failed check of a sub-test. The failure text names the check as the tests have always named it; the place is
// the check's file and line in this source tree ("selftest/enumroutines.cpp:212"), so that a failure leads to it.
class UnitTestException : public std::exception {
public:
    explicit UnitTestException(KVO::String text, KVO::String place = KVO::String());
    // The failure text followed by " (place)" when there is a place: what the host is told.
    const KVO::String& Message() const { return message_; }
    const KVO::String& Text() const { return text_; }
    const KVO::String& Place() const { return place_; }

private:
    KVO::String text_;
    KVO::String place_;
    KVO::String message_;
};

// The place of a call. Both compilers fill these built-ins where the call is written, also through a default
// argument, and unlike std::source_location they need no library support.
struct CallPlace {
    const char* file;
    unsigned line;
    static constexpr CallPlace Here(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE())
    {
        return {file, line};
    }
};

// "folder/file.cpp:line" of a source location: the file's folder within the tree and its name.
KVO::String SourcePlace(const CallPlace& where);

// The failure text of a check: the file name (after its last "\\"), ", Line ", the line, then " [condition]" and
// ", [message]" when they are not empty. File and condition are 8-bit text in the ANSI code page.
KVO::String MakeFailureText(const char* conditionText, const char* sourceFile, std::int32_t line,
                            const KVO::String& message);

// Throws UnitTestException with the failure text and the place of the call when the condition is false.
void UnitTestCheck(bool condition, const char* conditionText, const char* sourceFile, std::int32_t line,
                   const KVO::String& message = KVO::String(),
                   const CallPlace& where = CallPlace::Here());

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
