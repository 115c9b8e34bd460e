// What a host without windows asks of an extension's analysis document: open it on its host document, set its
// settings by id as text, run its analyse command, write its table as the table view's Export does, and choose the
// event its views show.
#pragma once

#include "platform/com/unknown.h"

struct IKVOString;
struct IPersistStreamInit;

// {9C3E5A71-2D48-4B6F-8E19-5F0A7B2C4D63}
inline constexpr IID IID_IAnalysisJob{0x9C3E5A71, 0x2D48, 0x4B6F, {0x8E, 0x19, 0x5F, 0x0A, 0x7B, 0x2C, 0x4D, 0x63}};

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
    // not have.
    virtual HRESULT GetSettingText(LONG id, IKVOString** text) = 0;
    // 9: makes event `index` (from 0) current as the analysis view's scroll bar does, so that the views show it;
    // *count (may be null) receives the number of events. A negative index only asks the count (S_FALSE);
    // E_INVALIDARG for an index at or past the count (the current event stays).
    virtual HRESULT SelectEvent(LONG index, LONG* count) = 0;

protected:
    ~IAnalysisJob() = default;
};
