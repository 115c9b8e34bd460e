// The failure text of a self-test check that an action throws, or "(passed)".
#pragma once

#include "selftest/unittestbase.h"

#include <functional>
#include <string>

inline std::u16string FailureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const UnitTestException& failure) {
        return std::u16string(failure.Message().View());
    }
    return u"(passed)";
}
