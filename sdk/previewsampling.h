// What a settings preview needs of the host to show data and to sample into a recording of its own: the host data
// that gives a pane its time base and makes recording sources, the recording source's storage, the sampling control,
// and the host document's sampling service and display properties.
#pragma once

#include "platform/com/storage.h"
#include "sdk/charttimebase.h"

struct IKVOString;

inline constexpr IID IID_IPreviewData{0x6B1E2D40, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_IRecordingStorage{
    0x6B1E2D41, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_IRecordingTarget{
    0x6B1E2D42, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_ISamplingControl{
    0x6B1E2D43, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_ISamplingService{
    0x6B1E2D44, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_IPreviewDocument{
    0x6B1E2D45, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};
inline constexpr IID IID_ISamplingStateListener{
    0x6B1E2D46, 0x7C3A, 0x4E51, {0x8F, 0x21, 0x3D, 0x9A, 0x5C, 0x70, 0x1E, 0x42}};

// The host data a chart shows (all channels): its time base, and new recording sources over it.
struct IPreviewData : IUnknown {
    virtual HRESULT GetTimeBase(IChartTimeBase** out) = 0;                // 3
    virtual HRESULT CreateRecordingSource(LONG kind, IUnknown** out) = 0; // 4: kind 0, a new empty recording
    // 5: the mode by which a preview of the block is placed (reserved is 0); what it means is the host's.
    virtual HRESULT GetPlacementMode(LONG reserved, LONG block, LONG* mode) = 0;
};

// The data interface of a recording source: where it keeps its samples.
struct IRecordingStorage : IUnknown {
    virtual HRESULT SetStorage(IStorage* storage) = 0; // 3: the source takes a reference
};

// The host's sampling into an attached recording.
struct ISamplingControl : IUnknown {
    virtual HRESULT IsSampling() = 0;                                            // 3: S_OK or S_FALSE
    virtual HRESULT SelectChannels(LONG reserved, DWORD channels, LONG on) = 0;  // 4: 0x80000000 all
    virtual HRESULT Prepare(BOOL* allowed, IKVOString** message) = 0;            // 5
    virtual HRESULT Start(double startTime, IKVOString** message) = 0;           // 6
    virtual HRESULT Stop() = 0;                                                  // 7
    virtual HRESULT AttachRecording(IUnknown* recording) = 0;                    // 8: IID_IRecordingTarget
    virtual HRESULT DetachRecording(IUnknown* recording) = 0;                    // 9
};

struct ISamplingService : IUnknown {
    // 3: busy is 0 when sampling is possible; channels that can be sampled.
    virtual HRESULT GetState(WORD* busy, LONG* channels) = 0;
    virtual HRESULT GetControl(ISamplingControl** out) = 0; // 4
};

// Told when a chart starts showing sampling live (0xFFFF) and when the sampling it showed has ended (0).
struct ISamplingStateListener : IUnknown {
    virtual HRESULT SamplingStateChanged(WORD on) = 0; // 3
};

// Display properties: trace colour index 0x800C000A, value 0x800C000E, flag 0x800C0009.
inline constexpr DWORD kDisplayTraceColour = 0x800C000A;
inline constexpr DWORD kDisplayValue = 0x800C000E;
inline constexpr DWORD kDisplayFlag = 0x800C0009;

// The host document as a preview sees it.
struct IPreviewDocument : IUnknown {
    virtual HRESULT GetDisplayValue(LONG* value) = 0;                     // 3: S_FALSE when it gives none
    virtual HRESULT GetSamplingService(ISamplingService** out) = 0;       // 4
    virtual HRESULT GetDisplayProperty(DWORD code, LONG* value) = 0;      // 5
    virtual HRESULT GetPaneMetrics(LONG metrics[3]) = 0;                  // 6
    virtual HRESULT GetColourTable(const COLORREF** colours, LONG* count) = 0; // 7: none gives S_FALSE
};
