// The host's data source: the document-level object that offers a recording's channels, their sample and event
// enumerators and the records' tick periods. It answers the channel-data interface (sdk/chartdata.h), the
// sampling-notice interface and the channel-list interface as further interfaces of the same object.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/chartdata.h"
#include "sdk/slots.h"

#include <cstdint>

// {5D7C1E40-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IDataSource{0x5D7C1E40, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E41-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IOnlineDataNotices{
    0x5D7C1E41, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E42-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IOnlineDataSink{0x5D7C1E42, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E43-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IChannelList{0x5D7C1E43, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E44-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IEnumFactory{0x5D7C1E44, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E45-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IEnumUnit{0x5D7C1E45, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};
// {5D7C1E46-2B8A-4F63-9D05-7A1C3E9B4F21}
inline constexpr IID IID_IDataSourceHolder{
    0x5D7C1E46, 0x2B8A, 0x4F63, {0x9D, 0x05, 0x7A, 0x1C, 0x3E, 0x9B, 0x4F, 0x21}};

struct IKVOString;

// Request words of the enumerator operations: a kind in the low bits, options in the high ones.
namespace SourceKind {
inline constexpr DWORD kContent = 0x40000000; // the channel's own content: samples, or events of an event channel
inline constexpr DWORD kRaw = 1;              // the raw samples of a channel
inline constexpr DWORD kVirtual = 4;          // a virtual channel (events the host keeps apart from the recording)
inline constexpr DWORD kOpen = 0x1000;        // set on every open request
inline constexpr DWORD kRecordTimeBase = 0x80000000; // the record's time base, not the channel's own
inline constexpr DWORD kSampleUnits = 0x40002000;    // unit queries of sample values
inline constexpr DWORD kEventUnits = 0x2001;         // unit queries of event values
inline constexpr DWORD kScaling = 0x40001000;        // scaling queries of sample values
inline constexpr DWORD kRawRange = 2;                // the raw range of a channel's values
}

// The type code of an event channel in the channel list.
inline constexpr DWORD kEventChannelType = 0x801D0001;

// A channel's gain and offset: a value in channel units is (offset + raw value) x scale.
struct ChannelGain {
    double scale = 1.0;
    double offset = 0.0;
};

struct IDataSource : IUnknown {
    virtual HRESULT GetChannelCount(LONG* count) = 0; // 3
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    // 8: the limits of the channel's raw values (kind 2); sources that keep none answer E_NOTIMPL.
    virtual HRESULT GetRawRange(DWORD, LONG, DWORD, double*, double*) { return E_NOTIMPL; }
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13) SDK_UNUSED_SLOT(14)
    SDK_UNUSED_SLOT(15) SDK_UNUSED_SLOT(16)
    // 17: the channel's sample enumerator in the record (for its unit), with one reference.
    virtual HRESULT GetSampleEnum(DWORD kind, LONG record, LONG channel, IUnknown** out) = 0;
    SDK_UNUSED_SLOT(18)
    // 19: the record's seconds per tick.
    virtual HRESULT GetRecordTickPeriod(DWORD flags, LONG record, double* period) = 0;
    // 20: a channel's seconds per tick in the record.
    virtual HRESULT GetChannelTickPeriod(DWORD kind, LONG record, LONG channel, double* period) = 0;
    SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24) SDK_UNUSED_SLOT(25)
    SDK_UNUSED_SLOT(26) SDK_UNUSED_SLOT(27) SDK_UNUSED_SLOT(28) SDK_UNUSED_SLOT(29) SDK_UNUSED_SLOT(30)
    SDK_UNUSED_SLOT(31)
    // 32: an enumerator of the channel in the record from tick `start` to `end`, with one reference.
    virtual HRESULT OpenEnum(DWORD flags, LONG channel, LONG start, LONG record, LONG end, DWORD reserved,
                             IUnknown** out) = 0;
    SDK_UNUSED_SLOT(33) SDK_UNUSED_SLOT(34) SDK_UNUSED_SLOT(35) SDK_UNUSED_SLOT(36) SDK_UNUSED_SLOT(37)
    SDK_UNUSED_SLOT(38) SDK_UNUSED_SLOT(39) SDK_UNUSED_SLOT(40) SDK_UNUSED_SLOT(41)
    // 42: the channel's scaling in the record (kind 0x40001000; record -2 asks about any record); sources without
    // scaling answer E_NOTIMPL.
    virtual HRESULT GetChannelScaling(DWORD, LONG, LONG, ChannelGain*) { return E_NOTIMPL; }
    // 43: as slot 17 for sample (kSampleUnits) or event (kEventUnits) values.
    virtual HRESULT GetValueEnum(DWORD kind, LONG record, LONG channel, IUnknown** out) = 0;
    // 44: the chart position pair of an event position.
    virtual HRESULT GetCommentPosition(LONG tick, LONG record, std::int32_t* pair) = 0;
    SDK_UNUSED_SLOT(45)
    // 46: the channel object (which offers IEnumFactory) of the channel in the record, with one reference.
    virtual HRESULT GetChannelObject(DWORD flags, LONG record, LONG channel, IUnknown** out) = 0;
    SDK_UNUSED_SLOT(47) SDK_UNUSED_SLOT(48) SDK_UNUSED_SLOT(49) SDK_UNUSED_SLOT(50) SDK_UNUSED_SLOT(51)
    SDK_UNUSED_SLOT(52) SDK_UNUSED_SLOT(53) SDK_UNUSED_SLOT(54)
    virtual HRESULT GetProperty(DWORD reserved, WORD* value) = 0;           // 55
    // 56: the number of samples of the record.
    virtual HRESULT GetSampleCount(DWORD kind, LONG record, LONG* count) = 0;

protected:
    ~IDataSource() = default;
};

// A host object that holds data sources (a document).
struct IDataSourceHolder : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1)
    SDK_UNUSED_SLOT_DECADE(2)
    SDK_UNUSED_SLOT_DECADE(3)
    SDK_UNUSED_SLOT_DECADE(4)
    SDK_UNUSED_SLOT(50) SDK_UNUSED_SLOT(51) SDK_UNUSED_SLOT(52) SDK_UNUSED_SLOT(53)
    virtual HRESULT GetSource(LONG index, IDataSource** out) = 0; // 54

protected:
    ~IDataSourceHolder() = default;
};

// A channel object's enumerator factory.
struct IEnumFactory : IUnknown {
    // 3: an enumerator from tick `start` to `end`, with one reference.
    virtual HRESULT OpenEnum(DWORD flags, LONG start, LONG end, DWORD reserved, IUnknown** out) = 0;
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13)
    // 14: the channel's time base; the caller presets {1, 1, 0.0}.
    virtual HRESULT GetTimeBase(ChannelTimeBase* out) = 0;

protected:
    ~IEnumFactory() = default;
};

// The unit of an enumerator's values: the host's SI prefix index and the base text.
struct IEnumUnit : IUnknown {
    virtual HRESULT GetUnit(DWORD kind, LONG* prefixIndex, IKVOString** base) = 0; // 3

protected:
    ~IEnumUnit() = default;
};

// One entry of the channel list; the caller presets {0x80000000, 0xC0000000, 0}.
struct ChannelListEntry {
    DWORD channel;
    DWORD flags;
    DWORD type;
};

struct IChannelList : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    // 8: entry `index` of the list selected by the two words; *count receives the number of entries. A failure
    // past the last entry.
    virtual HRESULT GetEntry(DWORD reserved, LONG word1, LONG word2, LONG index, ChannelListEntry* entry,
                             LONG* count) = 0;

protected:
    ~IChannelList() = default;
};

struct IOnlineDataSink;

// Listeners to the sampling of a data source.
struct IOnlineDataNotices : IUnknown {
    virtual HRESULT Subscribe(IOnlineDataSink* sink) = 0;   // 3
    virtual HRESULT Unsubscribe(IOnlineDataSink* sink) = 0; // 4

protected:
    ~IOnlineDataNotices() = default;
};

// What a data source tells its listeners while it samples. A run is: SamplingStarted; per block BlockStarted,
// NewData any number of times, SamplingStopped (the block's recording stops); finally AfterStop (sampling ended).
struct IOnlineDataSink : IUnknown {
    // 3: the listener's interest; listeners answer 0 and 0xFFFF.
    virtual HRESULT GetInterest(DWORD* flags, WORD* wanted) = 0;
    virtual HRESULT SamplingStarted(DWORD value) = 0; // 4
    // 5: a block starts: its index, the channel count, the seconds per tick, its first tick in the recording, two
    // reserved 64-bit and three reserved 32-bit words (0), and whether its samples are kept in the document
    // (0 or 0xFFFF; false while the host only monitors).
    virtual HRESULT BlockStarted(LONG block, DWORD channels, double tickPeriod, LONGLONG firstTick, LONGLONG reserved1,
                                 DWORD reserved2, DWORD reserved3, DWORD reserved4, VARIANT_BOOL recorded) = 0;
    virtual HRESULT NewData(LONG samples) = 0;                 // 6: samples appended to the block since the last
    virtual HRESULT SamplingStopped(DWORD a, DWORD b) = 0;     // 7: the block's recording stops
    virtual HRESULT AfterStop(VARIANT_BOOL flag) = 0;          // 8: sampling has ended
    virtual HRESULT RangeNotice(DWORD a, DWORD b) = 0;         // 9
    virtual HRESULT Reserved10() = 0;                          // 10
    virtual HRESULT Reserved11() = 0;                          // 11
    virtual HRESULT Idle(DWORD value) = 0;                     // 12
    virtual HRESULT GetUpdateInterval(DWORD value, DWORD* milliseconds) = 0; // 13: between NewData notices
    virtual HRESULT GetDataKinds(DWORD a, DWORD b, DWORD c, DWORD* kinds) = 0; // 14
    virtual void DeleteThis() = 0;                             // 15: the deleting destructor

protected:
    ~IOnlineDataSink() = default;
};
