// The host framework's map from a continuous 64-bit pixel axis onto positions in record data: records laid end to
// end, each after a gap. Slots the module neither calls nor answers keep their places with the argument counts the
// framework gives them.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/recording.h"

#include <cstdint>

// {3C8E2A41-7B5D-4E19-A6F2-0D94C1B7E853}
inline constexpr IID IID_IRecordDataPixMap{0x3C8E2A41, 0x7B5D, 0x4E19, {0xA6, 0xF2, 0x0D, 0x94, 0xC1, 0xB7, 0xE8, 0x53}};

// A place in the record data: an offset into a record's data and the record's index.
struct RecordDataPosition {
    std::int64_t offset;
    std::int32_t record;
    std::int32_t padding;
};
static_assert(sizeof(RecordDataPosition) == 16);

struct IRecordDataPixMap : IUnknown {
    virtual HRESULT SetOrigin(LONG_PTR value) = 0;                                                     // 3
    virtual HRESULT Unused4(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;                              // 4
    virtual HRESULT Unused5(LONG_PTR, LONG_PTR) = 0;                                                  // 5
    // 6: which 0 is the gap before the first record, 1 before every later one, 2 a third gap.
    virtual HRESULT SetGap(LONG which, LONG pixels) = 0;
    virtual HRESULT Unused7(LONG_PTR, LONG_PTR) = 0;                                                  // 7
    virtual HRESULT SetScale(std::int64_t numerator, std::int64_t denominator) = 0;                   // 8
    virtual HRESULT GetScale(KVORational* scale) = 0;                                                 // 9
    virtual HRESULT Unused10(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;                             // 10
    virtual HRESULT Unused11(LONG_PTR, LONG_PTR) = 0;                                                 // 11
    virtual HRESULT Rebuild(LONG_PTR ignored) = 0;                                                    // 12
    virtual HRESULT BeginIteration(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR,
                                   LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                 // 13
    virtual HRESULT Unused14(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 14
    virtual HRESULT EndIteration(LONG_PTR ignored) = 0;                                               // 15
    // 16: S_FALSE when no iteration runs (the position is then the one after the last record).
    virtual HRESULT GetIterationPosition(LONG_PTR ignored, std::int64_t* pixel) = 0;
    virtual HRESULT Unused17(LONG_PTR) = 0;                                                           // 17
    virtual HRESULT GetTotalLength(std::int64_t* length) = 0;                                         // 18
    virtual HRESULT GetRecordCount(LONG* count) = 0;                                                  // 19
    virtual HRESULT Unused20(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 20
    // 21: S_FALSE for a pixel before the first record or at or beyond the next record's start.
    virtual HRESULT PixelToPosition(std::int64_t pixel, RecordDataPosition* position, std::int64_t* nextStart) = 0;
    virtual HRESULT Unused22(LONG_PTR, LONG_PTR) = 0;                                                 // 22
    virtual HRESULT GetRecordExtent(LONG record, std::int64_t* from, std::int64_t* to) = 0;           // 23
    // 24: mode 0 snaps a pixel in a gap to the nearer record, mode 1 to the previous one.
    virtual HRESULT SnapPixel(LONG mode, std::int64_t pixel, std::int64_t* offset, RecordDataPosition* position) = 0;
    virtual HRESULT Unused25(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;                   // 25
    virtual HRESULT Unused26(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;         // 26
    virtual HRESULT Unused27(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR,
                             LONG_PTR) = 0;                                                           // 27
    virtual HRESULT Unused28(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 28
    virtual HRESULT Unused29(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 29
    virtual HRESULT Unused30(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 30
    virtual HRESULT Unused31(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR,
                             LONG_PTR) = 0;                                                           // 31
    virtual HRESULT Unused32(LONG_PTR, LONG_PTR) = 0;                                                 // 32
    virtual HRESULT Unused33(LONG_PTR) = 0;                                                           // 33
    virtual HRESULT Unused34(LONG_PTR) = 0;                                                           // 34
    virtual HRESULT Unused35() = 0;                                                                   // 35
    virtual HRESULT Unused36(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;         // 36
    virtual HRESULT Unused37(LONG_PTR, LONG_PTR) = 0;                                                 // 37
    virtual HRESULT Unused38(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 38
    virtual HRESULT Unused39(LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) = 0;                             // 39
    virtual HRESULT Unused40(LONG_PTR, LONG_PTR, LONG_PTR) = 0;                                       // 40
    virtual HRESULT Unused41(LONG_PTR) = 0;                                                           // 41
    // 42 is the implementation's deleting destructor.

protected:
    ~IRecordDataPixMap() = default;
};
