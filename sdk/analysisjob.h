// What a host without windows asks of an extension's analysis document: open it on its host document, set its
// settings by id as text, run its analyse command, write its table as the table view's Export does, and choose the
// event its views show.
#pragma once

#include "platform/com/unknown.h"

#include <cstddef>

struct IKVOString;
struct IPersistStreamInit;

// {9C3E5A71-2D48-4B6F-8E19-5F0A7B2C4D63}
inline constexpr IID IID_IAnalysisJob{0x9C3E5A71, 0x2D48, 0x4B6F, {0x8E, 0x19, 0x5F, 0x0A, 0x7B, 0x2C, 0x4D, 0x63}};

// One setting as the document's settings tables define it.
struct AnalysisSettingInfo {
    LONG id;
    LONG kind;           // AnalysisSettingKind
    DWORD analysisTypes; // bit t: the analysis type t uses the setting and checks its value
    LONG reserved;       // 0
    double defaultValue; // on/off settings: 1 or 0
    double minimum;      // numbers only; 0 for the others
    double maximum;
};
static_assert(sizeof(AnalysisSettingInfo) == 40);
static_assert(offsetof(AnalysisSettingInfo, defaultValue) == 16);

namespace AnalysisSettingKind {
inline constexpr LONG kOnOff = 0;      // "t" or "f"
inline constexpr LONG kInteger = 1;
inline constexpr LONG kTens = 2;       // an integer in steps of ten
inline constexpr LONG kLong = 3;       // an integer
inline constexpr LONG kNumber = 4;
inline constexpr LONG kDetection = 6;  // the text of the peak detection settings
} // namespace AnalysisSettingKind

struct IAnalysisJob : IUnknown {
    // 3: makes what the analysis needs for the source channel that is set (id 2001 before opening).
    virtual HRESULT Open() = 0;
    // 4: S_OK when set; E_INVALIDARG for an id the document does not have or a text that holds no value of the
    // setting's kind (the setting keeps its value).
    virtual HRESULT SetSettingText(LONG id, IKVOString* text) = 0;
    // 5: the document's analyse command; S_OK with results, S_FALSE when nothing could be analysed.
    virtual HRESULT Analyse() = 0;
    // 6: the table (events, then the summary when it is shown) as tab-separated text to the file.
    virtual HRESULT ExportTable(IKVOString* path) = 0;
    // 7: the object that keeps the document's state (settings, table layout) in the host document's file, the one
    // the document registers with the host's storage: its Save writes the document's stream, and its Load, before
    // Open, takes the settings of a saved stream.
    virtual HRESULT GetPersistence(IPersistStreamInit** out) = 0;
    // 8: a setting's value as text (the classic form SetSettingText reads); E_INVALIDARG for an id the document does
    // not have, as a setting of the source channel is before Open when the document holds no settings for it.
    virtual HRESULT GetSettingText(LONG id, IKVOString** text) = 0;
    // 9: makes event `index` (from 0) current as the analysis view's scroll bar does, so that the views show it;
    // *count (may be null) receives the number of events. A negative index only asks the count (S_FALSE);
    // E_INVALIDARG for an index at or past the count (the current event stays).
    virtual HRESULT SelectEvent(LONG index, LONG* count) = 0;
    // 10: setting `index` (from 0) of the document's settings tables, those of a source channel first, then the
    // global ones; *description (may be null) receives one line saying what it holds, with its unit, for the
    // analysis type. S_FALSE past the last.
    virtual HRESULT GetSettingInfo(LONG analysisType, LONG index, AnalysisSettingInfo* info,
                                   IKVOString** description) = 0;
    // 11: the first setting that the analysis type in use checks and finds invalid, the global settings first,
    // then those of the source channel: S_OK with its id, and the caption and text that the settings dialog shows
    // for it (both empty where the dialog has none that explains it); S_FALSE when every setting is valid.
    virtual HRESULT FindInvalidSetting(LONG* id, IKVOString** caption, IKVOString** text) = 0;
    // 12: the name of an analysis type (0 to 5); E_INVALIDARG for any other number.
    virtual HRESULT GetAnalysisTypeName(LONG analysisType, IKVOString** name) = 0;
    // 13: of the events of the last analysis, the evoked responses' stimuli after which no response was found,
    // whose rows hold no measurements; 0 for the other analysis types and without results.
    virtual HRESULT CountStimuliWithoutResponse(LONG* count) = 0;
    // 14: of the blocks of the last analysis (*blocks), those in which the stimulus detection of the evoked
    // responses or population spikes found no stimulus (*without), which give no row; both 0 for the other analysis
    // types, without a stimulus search, without results and for an analysis while sampling (its range has no end).
    virtual HRESULT CountBlocksWithoutStimulus(LONG* without, LONG* blocks) = 0;
    // 15: parameter `code` (a table column's code) of event `index` (from 0) of the last analysis, as measured, in
    // base units (seconds for times), whether or not its column is shown; S_FALSE when it was not found (an empty
    // cell), E_INVALIDARG for an index at or past the count or a code with no value of its own.
    virtual HRESULT GetEventValue(LONG index, LONG code, double* value) = 0;

protected:
    ~IAnalysisJob() = default;
};
