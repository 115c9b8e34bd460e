// The failure text of a self-test check that an action throws, or "(passed)"; and the check's place in the tree.
#pragma once

#include "selftest/unittestbase.h"

#include <fstream>
#include <functional>
#include <string>

// With `place`, it receives the check's "folder/file.cpp:line" ("" when the action passes).
inline std::u16string FailureOf(const std::function<void()>& action, std::string* place = nullptr)
{
    if (place) {
        place->clear();
    }
    try {
        action();
    } catch (const UnitTestException& failure) {
        if (place) {
            *place = failure.Place().ToUtf8();
        }
        return std::u16string(failure.Text().View());
    }
    return u"(passed)";
}

// The source line that a place names, read from this tree ("" when there is none).
inline std::string SourceLineAt(const std::string& place)
{
    const std::size_t colon = place.rfind(':');
    if (colon == std::string::npos) {
        return {};
    }
    // The tree's root lies two folders above this test area's own.
    std::ifstream file(std::string(TEST_DATA_DIR) + "/../../" + place.substr(0, colon));
    const int wanted = std::stoi(place.substr(colon + 1));
    std::string line;
    for (int n = 1; n <= wanted && std::getline(file, line); ++n) {
        if (n == wanted) {
            return line;
        }
    }
    return {};
}
