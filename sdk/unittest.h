// The host's test registry and the self tests that the module hands it.
#pragma once

#include "platform/com/oleauto.h"

// {26FFEA48-D864-4F77-865F-39A622728D20}
inline constexpr CLSID CLSID_UnitTestRegistry{
    0x26FFEA48, 0xD864, 0x4F77, {0x86, 0x5F, 0x39, 0xA6, 0x22, 0x72, 0x8D, 0x20}};
// {AD1B3EFB-2401-4858-BF65-75C67089CF03}
inline constexpr IID IID_IUnitTestRegistry{
    0xAD1B3EFB, 0x2401, 0x4858, {0xBF, 0x65, 0x75, 0xC6, 0x70, 0x89, 0xCF, 0x03}};
// {88C5BED1-2017-4CC4-87EF-AA4D123348F1}
inline constexpr IID IID_IUnitTest{0x88C5BED1, 0x2017, 0x4CC4, {0x87, 0xEF, 0xAA, 0x4D, 0x12, 0x33, 0x48, 0xF1}};

struct IKVOString;

// The environment variable that fixes the seed of the self tests that otherwise draw a new sequence each run (from
// the clock): a whole number; the host sets it to repeat a run. Unset, or not a whole number, the clock seeds.
inline constexpr const char* kSelfTestSeedVariable = "CRESTMETRICS_SELFTEST_SEED";

// One self test: a list of sub-tests that the host runs one at a time by index.
struct IUnitTest : IUnknown {
    virtual HRESULT GetSubTestCount(LONG* count) = 0;                    // 3
    virtual HRESULT RunSubTest(LONG index) = 0;                          // 4
    virtual HRESULT GetSubTestName(LONG index, IKVOString** name) = 0;   // 5
    virtual HRESULT GetResult(VARIANT_BOOL* passed, IKVOString** message) = 0; // 6
    virtual HRESULT Declare() = 0;                                       // 7
    virtual HRESULT GetContact(IKVOString** contact) = 0;                // 8
    virtual HRESULT GetSubTestValue(LONG index, double* value) = 0;      // 9

protected:
    ~IUnitTest() = default;
};

struct IUnitTestRegistry : IUnknown {
    // 3: takes its own reference to the test (tests arrive with a count of 0).
    virtual HRESULT Add(IUnitTest* test) = 0;

protected:
    ~IUnitTestRegistry() = default;
};
