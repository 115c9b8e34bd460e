// Recording into the host's chart data: a data source hands the host its channels and the host's recording sink
// pulls their samples block by block; the record-data interface tells where the record being added ends; a channel
// calculation sets the text of a host calculation channel.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/kvoposition.h"
#include "sdk/slots.h"

#include <cstdint>

// {04F165E5-D4E6-4B56-A1DA-E36E2ECFAFB1}
inline constexpr IID IID_IKVOChannelDataSource{
    0x04F165E5, 0xD4E6, 0x4B56, {0xA1, 0xDA, 0xE3, 0x6E, 0x2E, 0xCF, 0xAF, 0xB1}};
// {003FF75A-E105-4A74-B11F-083CBA3C2C32}
inline constexpr IID IID_IChartDataSink{0x003FF75A, 0xE105, 0x4A74, {0xB1, 0x1F, 0x08, 0x3C, 0xBA, 0x3C, 0x2C, 0x32}};
// {718CC9A3-1F51-49B0-BDC9-D0632F6E8C36}: the chart data's recording interface, from which the sink is queried.
inline constexpr IID IID_IChartRecording{0x718CC9A3, 0x1F51, 0x49B0, {0xBD, 0xC9, 0xD0, 0x63, 0x2F, 0x6E, 0x8C, 0x36}};
// {556748F7-FAF5-4A8F-AFF6-00899EBA4DAF}
inline constexpr IID IID_IChartRecordData{0x556748F7, 0xFAF5, 0x4A8F, {0xAF, 0xF6, 0x00, 0x89, 0x9E, 0xBA, 0x4D, 0xAF}};
// {ABACF1BA-A535-4598-9440-616912867BB0}
inline constexpr IID IID_IChannelCalculation{
    0xABACF1BA, 0xA535, 0x4598, {0x94, 0x40, 0x61, 0x69, 0x12, 0x86, 0x7B, 0xB0}};

// {259F34C3-7D71-4E1D-8657-1BB80F2B3823}: the host's chart-data class object (IChartDataFactory).
inline constexpr CLSID CLSID_ChartDataFactory{
    0x259F34C3, 0x7D71, 0x4E1D, {0x86, 0x57, 0x1B, 0xB8, 0x0F, 0x2B, 0x38, 0x23}};
// {7E0B5C2A-93D4-4F18-8A61-C5D2E7F04B39}
inline constexpr IID IID_IChartDataFactory{0x7E0B5C2A, 0x93D4, 0x4F18, {0x8A, 0x61, 0xC5, 0xD2, 0xE7, 0xF0, 0x4B, 0x39}};

struct IKVOString;

// Makes chart data: each call a new, empty one. The framework serves it under the type id of
// CLSID_ChartDataFactory.
struct IChartDataFactory : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    // 7: new chart data queried for `iid` (reserved is 0), with one reference.
    virtual HRESULT CreateChartData(LONG reserved, REFIID iid, void** out) = 0;

protected:
    ~IChartDataFactory() = default;
};

// A period as a fraction of seconds.
struct KVORational {
    std::int64_t numerator;
    std::int64_t denominator;
};

// The host's two 32-bit words that name a channel (as a calculation channel is allocated and addressed).
struct ChannelReference {
    std::int32_t word0;
    std::int32_t word1;
};

// A data source that the host records from: one sample enumerator per channel, and the record's length.
struct IKVOChannelDataSource : IUnknown {
    virtual HRESULT Reserved3(DWORD a, DWORD b, DWORD c) = 0;                              // 3
    // 4: the sample enumerator (IEnumFloatEx) of a channel, with one reference.
    virtual HRESULT GetChannelEnum(DWORD reserved, LONG channel, IUnknown** out) = 0;
    virtual HRESULT Reserved5(DWORD a, DWORD b, DWORD c, DWORD d) = 0;                     // 5
    virtual HRESULT GetRecordLength(LONG* ticks) = 0;                                      // 6
    virtual HRESULT GetRecordLength64(LONGLONG* ticks) = 0;                                // 7

protected:
    ~IKVOChannelDataSource() = default;
};

// The host's recording sink.
struct IChartDataSink : IUnknown {
    virtual HRESULT CanSample(IKVOString** reason, VARIANT_BOOL* can) = 0;                 // 3
    virtual HRESULT Prepare(LONG reserved) = 0;                                            // 4
    // 5: a new record whose ticks last tickPeriod seconds, started at startTime (seconds since 1970).
    virtual HRESULT StartRecord(LONG reserved, IKVOChannelDataSource* source, double tickPeriod, double startTime,
                                double reserved2, LONG reserved3, LONG reserved4, LONG startParam,
                                VARIANT_BOOL online) = 0;
    // 6: the host pulls `ticks` more ticks of every channel through the source and extends the record.
    virtual HRESULT AddTicks(LONG ticks) = 0;
    virtual HRESULT EndRecord(LONG reserved, LONG* out) = 0;                                // 7
    virtual HRESULT Stop(VARIANT_BOOL finished) = 0;                                        // 8
    // 9: a channel of the next record: enabled or not, its sample period, the record's tick period.
    virtual HRESULT SetupChannel(LONG channel, LONG enabled, VARIANT_BOOL enabledFlag, DWORD reserved,
                                 KVORational samplePeriod, const KVORational* tickPeriod, DWORD kind,
                                 IKVOChannelDataSource* source) = 0;

protected:
    ~IChartDataSink() = default;
};

// The chart data's recording interface: answers IChartDataSink.
struct IChartRecording : IUnknown {
protected:
    ~IChartRecording() = default;
};

// Positions of the chart data's records.
struct IChartRecordData : IUnknown {
    // 3: the end of the record being added (or the last record).
    virtual HRESULT GetRecordEndPosition(LONG reserved, KVOPosition* end) = 0;
    // 4: a record's tick period in seconds; *period keeps the caller's value when the record has none.
    virtual HRESULT GetTickPeriod(LONG reserved, LONG record, double* period) = 0;
    SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)

protected:
    ~IChartRecordData() = default;
};

// The host's calculation channels, as the channel-calculation message reaches them.
struct IChannelCalculation : IUnknown {
    // 3: gives the channel its calculation text (and unit text) under the message id.
    virtual HRESULT SetCalculation(DWORD messageId, IKVOString* text, IKVOString* unit,
                                   const ChannelReference* channel) = 0;

protected:
    ~IChannelCalculation() = default;
};
