// The enumerator interfaces of calculations: ICalcEnum (parameters, sources, seeking) and IEnumEventEx (the event
// records of one block). The host's own event enumerators offer IEnumEventEx too, so a calculation reads the
// events of an inner calculation or of a stored event channel the same way.
#pragma once

#include "platform/com/unknown.h"

#include <cstdint>

// {76681A68-3FD9-42B1-AF24-B755FF82350E}
inline constexpr IID IID_ICalcEnum{0x76681A68, 0x3FD9, 0x42B1, {0xAF, 0x24, 0xB7, 0x55, 0xFF, 0x82, 0x35, 0x0E}};
// {720572D0-B751-4471-81B9-DD43754806CF}
inline constexpr IID IID_IEnumEventEx{0x720572D0, 0xB751, 0x4471, {0x81, 0xB9, 0xDD, 0x43, 0x75, 0x48, 0x06, 0xCF}};

struct IKVOString;
struct ICalcEnumClass2;

// A source's time base: ticks per sample as the ratio a / b, and an offset. Without a source it is 1, 1, 0.
struct SourceTimeBase {
    std::int64_t a;
    std::int64_t b;
    std::int64_t offset;
};

// Ticks are int32 sample indices within one block; this one means "the end of the block" as a position.
inline constexpr LONG kEndOfBlockTick = 0x7FFFFFFF;

// The flag word of ICalcEnum::SetSources: a negative value asks the calculation to stop where the source has no
// samples yet (a block that is still being sampled) instead of passing over the gap.
inline constexpr LONG kStopAtGapFlag = static_cast<LONG>(0xC0000000u);

// {3B8E6D2A-51C4-4F0E-9A77-2D6C1B5E8F43}
inline constexpr IID IID_ITimeBaseSetter{0x3B8E6D2A, 0x51C4, 0x4F0E, {0x9A, 0x77, 0x2D, 0x6C, 0x1B, 0x5E, 0x8F, 0x43}};

// A source whose reader sets the time base it reports: a / b ticks per sample and an offset. A reader that takes
// its sources tick for tick sets 1, 1 and 0.0.
struct ITimeBaseSetter : IUnknown {
    virtual HRESULT SetTimeBase(LONG a, LONG b, double offset) = 0; // 3

protected:
    ~ITimeBaseSetter() = default;
};

struct ICalcEnum : IUnknown {
    virtual HRESULT GetClassId(DWORD* id) = 0;                                // 3
    virtual HRESULT GetClassObject(ICalcEnumClass2** out) = 0;                // 4
    // 5: the numeric parameter text; flags receives 0x40000000.
    virtual HRESULT Parse(IKVOString* text, DWORD* flags) = 0;
    virtual HRESULT Write(IKVOString** text) = 0;                             // 6
    virtual HRESULT Clone(ICalcEnum** out) = 0;                               // 7
    // 8: the sources of one block (sample enumerators or inner calculations, in source order), the unit objects
    // of the sources (may be null), the block's tick period in seconds and the flag word.
    virtual HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                               LONG flag) = 0;
    virtual HRESULT SeekStart(LONG tick) = 0;                                 // 9
    virtual HRESULT ReleaseSources() = 0;                                     // 10
    virtual HRESULT QueryFlags(DWORD a, DWORD b, DWORD* out) = 0;             // 11
    virtual HRESULT Notify1(DWORD a, DWORD b) = 0;                            // 12: accepted, no effect
    virtual HRESULT Notify2(DWORD a, DWORD b) = 0;                            // 13: accepted, no effect
    virtual HRESULT GetTickPeriod(double* period, IKVOString** text) = 0;     // 14
    virtual HRESULT GetCapabilities(DWORD* out) = 0;                          // 15
    virtual HRESULT GetStatus(DWORD* out) = 0;                                // 16
    virtual HRESULT GetSourceTimeBase(SourceTimeBase* out) = 0;               // 17
    virtual void DeleteThis() = 0;                                            // 18: the deleting destructor

protected:
    ~ICalcEnum() = default;
};

struct IEnumEventEx : IUnknown {
    // 3: up to bufferBytes / event size records with tick < endTick (a negative endTick means no bound) into
    // buffer; nextPosition receives where the next call continues. S_FALSE when the block has no more records
    // (nextPosition kEndOfBlockTick).
    virtual HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) = 0;
    // 4: direction 0 searches forward from `from`, any other value backward; the record must lie in [low, high).
    // S_OK when one was found (the next Next delivers it first), S_FALSE when not.
    virtual HRESULT Find(LONG direction, LONG from, LONG low, LONG high) = 0;
    virtual HRESULT GetPosition(LONG* tick) = 0;                              // 5
    virtual HRESULT Skip(LONG count, LONG* skipped) = 0;                      // 6
    virtual HRESULT Clone(IEnumEventEx** out) = 0;                            // 7
    virtual HRESULT GetEventSize(LONG* bytes) = 0;                            // 8
    virtual HRESULT GetDrawType(DWORD* id) = 0;                               // 9
    virtual HRESULT GetExtension(IUnknown** out) = 0;                         // 10
    virtual HRESULT GetSourceTimeBase(SourceTimeBase* out) = 0;               // 11

protected:
    ~IEnumEventEx() = default;
};
