// Child data: objects that extensions attach to a host document's chart data, kept and notified by the host.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/slots.h"

// {5577F83D-A72C-4C29-BE34-7362D24924D8}
inline constexpr IID IID_IChartDataChildData{
    0x5577F83D, 0xA72C, 0x4C29, {0xBE, 0x34, 0x73, 0x62, 0xD2, 0x49, 0x24, 0xD8}};
// {71554D63-06FA-4BF4-A4EE-BBBEC8440EFF}
inline constexpr IID IID_IChildDataHolder{0x71554D63, 0x06FA, 0x4BF4, {0xA4, 0xEE, 0xBB, 0xBE, 0xC8, 0x44, 0x0E, 0xFF}};

struct IChartDataChildData : IUnknown {
    virtual HRESULT GetTypeId(DWORD* key) = 0;                                          // 3: the holder's key
    virtual HRESULT Clone(IUnknown* newOwner, IChartDataChildData** out) = 0;           // 4
    virtual HRESULT Invalidated(DWORD flags, LONG firstRecord, LONG endRecord) = 0;     // 5
    virtual HRESULT RecordsChanged(LONG first, LONG second) = 0;                        // 6
    virtual HRESULT DataChanged(DWORD flags, LONG channel, DWORD kind, DWORD reserved, LONG firstRecord,
                                LONG endRecord) = 0;                                    // 7
    virtual void DeleteThis() = 0;                                                      // 8

protected:
    ~IChartDataChildData() = default;
};

// The child data of one chart data, one object per key.
struct IChildDataHolder : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13)
    // 14: keeps a reference under the key that the child data reports.
    virtual HRESULT Store(DWORD reserved, IChartDataChildData* child) = 0;
    // 15: the child data under `key` with a reference for the caller, or a failure and null.
    virtual HRESULT Find(DWORD reserved, DWORD key, IChartDataChildData** out) = 0;

protected:
    ~IChildDataHolder() = default;
};
