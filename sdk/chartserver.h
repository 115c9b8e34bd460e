// The host's chart data as the module's chart drawers reach it: the time base of a chart pane (its data source),
// the data server behind it and the point sources that reduce a record's samples to screen points. Operations the
// module never calls keep placeholders so that every slot stays where the host has it.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/win/windef.h"
#include "sdk/calcenum.h"
#include "sdk/slots.h"

// {5B8D7A41-0C2E-4F6B-9E3D-61A7C2F04B18}
inline constexpr IID IID_IChartDataSource{0x5B8D7A41, 0x0C2E, 0x4F6B, {0x9E, 0x3D, 0x61, 0xA7, 0xC2, 0xF0, 0x4B, 0x18}};
// {8E21F3C6-74B0-4A9D-B5E2-0F93D61C7A25}
inline constexpr IID IID_IChartDataServer{0x8E21F3C6, 0x74B0, 0x4A9D, {0xB5, 0xE2, 0x0F, 0x93, 0xD6, 0x1C, 0x7A, 0x25}};
// {C4F0925E-3B7A-48D1-A6C8-2E5B1D09F736}
inline constexpr IID IID_IChartPointSource{0xC4F0925E, 0x3B7A, 0x48D1, {0xA6, 0xC8, 0x2E, 0x5B, 0x1D, 0x09, 0xF7, 0x36}};

struct IChartDataServer;
struct IChartPointSource;

// A data request for the value range of a channel between two positions: a and b point to the first and the last
// ChartBlockPosition, c to two doubles that receive the minimum and the maximum; S_FALSE when no sample lies there.
inline constexpr DWORD kChartRequestDataRange = 0x10000;

// At most this many points (pairs, one segment each) per GetPoints call.
inline constexpr LONG kChartPointBatch = 256;

// The time base of a chart pane: tick and pixel mapping of the records shown.
struct IChartDataSource : IUnknown {
    virtual HRESULT Reserved3() = 0;                                                     // 3
    virtual HRESULT Reserved4() = 0;                                                     // 4
    virtual HRESULT Reserved5() = 0;                                                     // 5
    // 6: a layout value of the lanes (key, value), as the graticule reports its label area.
    virtual HRESULT SetLayoutValue(DWORD key, LONG value) = 0;
    virtual HRESULT Reserved7() = 0;                                                     // 7
    virtual HRESULT Reserved8() = 0;                                                     // 8
    virtual HRESULT Reserved9() = 0;                                                     // 9
    virtual HRESULT Reserved10() = 0;                                                    // 10
    virtual HRESULT Reserved11() = 0;                                                    // 11
    virtual HRESULT Reserved12() = 0;                                                    // 12
    virtual HRESULT Reserved13() = 0;                                                    // 13
    virtual HRESULT Reserved14() = 0;                                                    // 14
    virtual HRESULT Reserved15() = 0;                                                    // 15
    // 16: the first tick of the current block as the chart counts ticks.
    virtual HRESULT GetBaseTick(LONG reserved, LONGLONG* tick) = 0;
    // 17: the data server that holds the samples and events (one reference).
    virtual HRESULT GetDataServer(IUnknown** server) = 0;
    virtual HRESULT Reserved18() = 0;                                                    // 18
    virtual HRESULT Reserved19() = 0;                                                    // 19
    virtual HRESULT Reserved20() = 0;                                                    // 20
    virtual HRESULT Reserved21() = 0;                                                    // 21
    virtual HRESULT Reserved22() = 0;                                                    // 22
    virtual HRESULT Reserved23() = 0;                                                    // 23
    // 24: the (record, tick in record) where an absolute chart tick lies; mode 2 rounds to the following sample.
    virtual HRESULT LocateStart(DWORD mode, LONGLONG chartTick, LONG* record, LONGLONG* tick) = 0;
    // 25: the pixel x of a tick of a record.
    virtual HRESULT TickToX(DWORD flags, LONG record, LONGLONG tick, double* x) = 0;
    // 26: as 24, for the end of a stretch (mode 1 rounds to the preceding sample).
    virtual HRESULT LocateEnd(DWORD mode, LONGLONG chartTick, LONG* record, LONGLONG* tick) = 0;
    virtual HRESULT Reserved27() = 0;                                                    // 27
    virtual HRESULT Reserved28() = 0;                                                    // 28
    // 29: the number of ticks of a record.
    virtual HRESULT GetRecordExtent(LONG record, LONGLONG* ticks) = 0;

protected:
    ~IChartDataSource() = default;
};

// The samples and events of a document's channels by record.
struct IChartDataServer : IUnknown {
    virtual HRESULT Reserved3() = 0;                                                     // 3
    virtual HRESULT Reserved4() = 0;                                                     // 4
    virtual HRESULT Reserved5() = 0;                                                     // 5
    virtual HRESULT Reserved6() = 0;                                                     // 6
    virtual HRESULT Reserved7() = 0;                                                     // 7
    virtual HRESULT Reserved8() = 0;                                                     // 8
    virtual HRESULT Reserved9() = 0;                                                     // 9
    virtual HRESULT Reserved10() = 0;                                                    // 10
    virtual HRESULT Reserved11() = 0;                                                    // 11
    // 12: the record being sampled (or the last one).
    virtual HRESULT GetCurrentRecord(LONG reserved, LONG* record) = 0;
    // 13: a data request forwarded by a drawer. The arguments are pointer-sized so that a request can pass the
    // addresses of what it asks for and of where the answer goes (kChartRequestDataRange).
    virtual HRESULT RequestData(DWORD flags, LONG channel, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR d, LONG_PTR r0,
                                LONG_PTR r1, LONG_PTR r2, LONG_PTR e) = 0;
    // 14: the channel's flag in a record (0: the channel has no data there).
    virtual HRESULT GetChannelFlag(DWORD flags, LONG record, LONG channel, WORD* flag) = 0;
    // 15: the unit text of a channel in a record.
    virtual HRESULT GetUnitText(DWORD flags, LONG record, LONG channel, IKVOString** text) = 0;
    virtual HRESULT Reserved16() = 0;                                                    // 16
    // 17: the data interface of (flags, record, channel).
    virtual HRESULT GetData(DWORD flags, LONG record, LONG channel, IUnknown** data) = 0;
    virtual HRESULT Reserved18() = 0;                                                    // 18
    virtual HRESULT Reserved19() = 0;                                                    // 19
    virtual HRESULT Reserved20() = 0;                                                    // 20
    virtual HRESULT Reserved21() = 0;                                                    // 21
    virtual HRESULT Reserved22() = 0;                                                    // 22
    virtual HRESULT Reserved23() = 0;                                                    // 23
    virtual HRESULT Reserved24() = 0;                                                    // 24
    virtual HRESULT Reserved25() = 0;                                                    // 25
    virtual HRESULT Reserved26() = 0;                                                    // 26
    virtual HRESULT Reserved27() = 0;                                                    // 27
    virtual HRESULT Reserved28() = 0;                                                    // 28
    virtual HRESULT Reserved29() = 0;                                                    // 29
    virtual HRESULT Reserved30() = 0;                                                    // 30
    // 31: the event enumerator of an event channel over records first..last.
    virtual HRESULT GetEventEnumerator(DWORD flags, LONG channel, DWORD kind, LONG firstRecord, LONG lastRecord,
                                       LONG limit, LONG reserved, IUnknown** enumerator) = 0;
    virtual HRESULT Reserved32() = 0;                                                    // 32
    virtual HRESULT Reserved33() = 0;                                                    // 33
    virtual HRESULT Reserved34() = 0;                                                    // 34
    virtual HRESULT Reserved35() = 0;                                                    // 35
    // 36: a point source for the ticks [from, to) of a record, values mapped to pixel rows by
    // y = (value + yOffset) * yScale.
    virtual HRESULT NewPointSource(DWORD flags, LONG channel, LONGLONG from, LONGLONG to, LONG record, LONG r0,
                                   LONG limit, double yScale, double yOffset, DWORD style,
                                   IChartPointSource** source) = 0;

protected:
    ~IChartDataServer() = default;
};

// Turns a stretch of samples into segments, one (or a few) per pixel column.
struct IChartPointSource : IUnknown {
    // 3: up to maxPoints points (pairs: one segment each) for up to `positions` x positions from x on; gives the
    // points written and the positions consumed.
    virtual HRESULT GetPoints(LONG x, LONG positions, POINT* points, LONG maxPoints, LONG* pointCount,
                              LONG* consumed) = 0;
    // 4: the tick (from the block start) at which the next stretch continues.
    virtual HRESULT GetContinueTick(LONGLONG* tick) = 0;
    virtual HRESULT Reserved5() = 0;                                                     // 5
    // 6: the first tick of the data still to draw, counted from the base tick.
    virtual HRESULT GetStart(double* tick) = 0;
    SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    // 9: places the stretch: tick `firstTick` of the record lies at x = originX from now on; the next points start
    // afresh (not joined to the last ones).
    virtual HRESULT SetOrigin(double firstTick, LONG originX) = 0;

protected:
    ~IChartPointSource() = default;
};

// {E913ED27-A07C-4A25-BBD2-1904871C6106}
inline constexpr IID IID_IChartChannelSelection{
    0xE913ED27, 0xA07C, 0x4A25, {0xBB, 0xD2, 0x19, 0x04, 0x87, 0x1C, 0x61, 0x06}};

// The channels the user has selected in the chart, as a data server may answer them beside its own interface; a
// server without it has none selected.
struct IChartChannelSelection : IUnknown {
    // 3: S_OK when the channel is among the selected channels, else S_FALSE.
    virtual HRESULT IsChannelSelected(LONG channel) = 0;

protected:
    ~IChartChannelSelection() = default;
};

// {7C3E91A4-5B2D-4F08-A6E1-93D0B4C72E5F}
inline constexpr IID IID_IChartSweep{0x7C3E91A4, 0x5B2D, 0x4F08, {0xA6, 0xE1, 0x93, 0xD0, 0xB4, 0xC7, 0x2E, 0x5F}};
// {7C3E91A5-5B2D-4F08-A6E1-93D0B4C72E5F}
inline constexpr IID IID_IChartSweepState{
    0x7C3E91A5, 0x5B2D, 0x4F08, {0xA6, 0xE1, 0x93, 0xD0, 0xB4, 0xC7, 0x2E, 0x5F}};

// The sweep position of a sweep display.
struct IChartSweepState : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT_DECADE(1) SDK_UNUSED_SLOT_DECADE(2)
    SDK_UNUSED_SLOT(30) SDK_UNUSED_SLOT(31)
    // 32: the x at which the newest sweep meets the one before it; -1 while the first sweep is drawn.
    virtual HRESULT GetWrapPosition(LONG* x) = 0;

protected:
    ~IChartSweepState() = default;
};

// What a data source that draws in sweep mode adds (asked for by IID_IChartSweep): the newest data is drawn from
// the left edge over the oldest, which it replaces up to the wrap position.
struct IChartSweep : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9)
    // 10: the tick of the record shown at x = originX in the sweep part that x lies in.
    virtual HRESULT GetSweepOrigin(LONG x, double* firstTick, LONG* originX) = 0;
    SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13)
    // 14: the sweep's state: 1 running, 3 paused.
    virtual HRESULT GetState(LONG* state) = 0;
    SDK_UNUSED_SLOT(15) SDK_UNUSED_SLOT(16) SDK_UNUSED_SLOT(17) SDK_UNUSED_SLOT(18) SDK_UNUSED_SLOT(19)
    // 20: the x where the sweep part that x lies in ends (the wrap position, or the sweep's width).
    virtual HRESULT GetPartEnd(LONG x, LONG* end) = 0;
    SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24)
    // 25: the sweep position (one reference).
    virtual HRESULT GetSweepState(IChartSweepState** state) = 0;
    // 26: the ticks of `record` shown over the stretch of pixels [from, to): the first may be negative when the
    // record starts inside the stretch. `flags` as the data source's pixel queries take them.
    virtual HRESULT GetStretchTicks(DWORD flags, LONGLONG from, LONGLONG to, LONG record, LONGLONG* first,
                                    LONGLONG* last) = 0;

protected:
    ~IChartSweep() = default;
};
