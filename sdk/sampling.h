// The host document's sampling as an extension sees it: whether the document samples (and stopping and starting it),
// where the block being sampled stands, and which channels a change of the data touched.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/ikvobitset.h"
#include "sdk/kvoposition.h"

// {7A1E5C93-0B42-4D6F-8E17-C35B9D20F4A8}
inline constexpr IID IID_IHostSampling{0x7A1E5C93, 0x0B42, 0x4D6F, {0x8E, 0x17, 0xC3, 0x5B, 0x9D, 0x20, 0xF4, 0xA8}};
// {7A1E5C94-0B42-4D6F-8E17-C35B9D20F4A8}
inline constexpr IID IID_ISamplingPosition{
    0x7A1E5C94, 0x0B42, 0x4D6F, {0x8E, 0x17, 0xC3, 0x5B, 0x9D, 0x20, 0xF4, 0xA8}};
// {7A1E5C95-0B42-4D6F-8E17-C35B9D20F4A8}
inline constexpr IID IID_IChartChanges{0x7A1E5C95, 0x0B42, 0x4D6F, {0x8E, 0x17, 0xC3, 0x5B, 0x9D, 0x20, 0xF4, 0xA8}};

// The host document's sampling-state object.
struct IHostSampling : IUnknown {
    virtual HRESULT GetSamplingState(DWORD reserved, VARIANT_BOOL* sampling) = 0; // 3
    virtual HRESULT StopSampling() = 0;                                          // 4
    virtual HRESULT StartSampling(double delay) = 0;                             // 5

protected:
    ~IHostSampling() = default;
};

// Where the sampling of the chart data stands; both fail while no block is being sampled.
struct ISamplingPosition : IUnknown {
    // 3: the end of the data sampled so far (offset within the block, block).
    virtual HRESULT GetSamplingPosition(DWORD reserved, KVOPosition* position) = 0;
    virtual HRESULT GetSamplingBlock(DWORD reserved, LONG* block) = 0; // 4: the block being sampled

protected:
    ~ISamplingPosition() = default;
};

// The channels that the change a notice reported touched: the sample channels and the other (calculated) channels,
// each a new set with one reference for the caller.
struct IChartChanges : IUnknown {
    virtual HRESULT GetChangedChannels(DWORD reserved, LONG first, LONG second, VARIANT_BOOL all,
                                       IKVOBitset** sampleChannels, IKVOBitset** otherChannels) = 0; // 3

protected:
    ~IChartChanges() = default;
};

// The records that go with the host chart's notices: two range arguments (n 4, 6) and the first activation's two
// ids (0x80000000). Positions (n 14, 16) are KVOPosition; a single range argument (n 34) and a channel (n 20, 22)
// are 32-bit.
struct ChartRangeNotice {
    LONG first;
    LONG second;
};
struct FirstActivationNotice {
    DWORD first;
    DWORD second;
};
