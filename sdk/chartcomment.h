// Comments in the host chart: the comment objects that the chart shows, the object that places a comment, and the
// factory of host objects made from texts.
#pragma once

#include "platform/com/unknown.h"
#include "platform/win/windef.h"
#include "sdk/slots.h"

#include <cstdint>

// {8C1F5A60-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_IChartComment{0x8C1F5A60, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A61-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_IChartCommentEx{
    0x8C1F5A61, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A62-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_IKVOComment{0x8C1F5A62, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A63-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_ICommentPositionProvider{
    0x8C1F5A63, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A64-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_IHostObjectFactory{
    0x8C1F5A64, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A65-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_IShowComment2Message{
    0x8C1F5A65, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};

// {8C1F5A66-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_ICommentPopupWindow{
    0x8C1F5A66, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};
// {8C1F5A67-4E2B-4D7A-9F31-6B0E2C7D9A41}
inline constexpr IID IID_ICommentsObserver{
    0x8C1F5A67, 0x4E2B, 0x4D7A, {0x9F, 0x31, 0x6B, 0x0E, 0x2C, 0x7D, 0x9A, 0x41}};

struct IKVOString;
struct IChartCommentEx;

// Where the chart draws a comment, in the window's pixels.
struct CommentDrawRecord {
    std::int32_t reserved;
    std::int32_t x;
    std::int32_t top;             // the top of the marker
    std::int32_t bottom;          // the lower end of the vertical line
    std::int32_t alternateBottom; // used instead of the bottom when kUseAlternateBottom is set
    std::uint32_t flags;

    static constexpr std::uint32_t kDrawLabel = 0x80000;
    static constexpr std::uint32_t kDrawLine = 0x100000;
    static constexpr std::uint32_t kDrawLineToo = 0x800000;
    static constexpr std::uint32_t kSelected = 0x1000000;
    static constexpr std::uint32_t kUseAlternateBottom = 0x2000000;
};

// The chart's object that places a comment: its first position word, the base that the comment's offset is added
// to, and its extent.
struct ICommentPositionProvider : IUnknown {
    virtual HRESULT GetPosition(std::int32_t* first) = 0;  // 3: may write nothing
    virtual HRESULT GetBaseValue(std::int32_t* base) = 0;  // 4
    virtual HRESULT GetExtent(std::int32_t* pair) = 0;     // 5: the second word is the extent's end

protected:
    ~ICommentPositionProvider() = default;
};

// The popup window that shows a comment beside its marker.
struct ICommentPopupWindow : IUnknown {
    virtual HRESULT GetComment(IChartCommentEx** out) = 0; // 3: with a reference
    virtual HRESULT Refresh() = 0;                         // 4

protected:
    ~ICommentPopupWindow() = default;
};

struct IChartComment : IUnknown {
    // 3: every out argument is optional; the text comes with a reference for the caller.
    virtual HRESULT GetInfo(std::int32_t* positionPair, DWORD* word3, DWORD* word2, IKVOString** text) = 0;
    virtual HRESULT GetPositionReversed(std::int32_t* pair) = 0; // 4
    virtual HRESULT GetPositionOffset(std::int32_t* offset) = 0; // 5
    virtual HRESULT GetWord1(DWORD* word) = 0;                   // 6
    virtual HRESULT GetWord3(DWORD* word) = 0;                   // 7
    virtual HRESULT Draw(HDC dc, HDC reference, const CommentDrawRecord* record, DWORD reserved) = 0; // 8
    // 9: *result 4 when the point hits the marker.
    virtual HRESULT HitTest(HDC dc, const CommentDrawRecord* record, POINT point, DWORD reserved,
                            DWORD* result) = 0;
    virtual HRESULT ShowPopupAtMarker(HWND window, const CommentDrawRecord* record, IKVOString* title,
                                      ICommentPopupWindow** popup, DWORD further) = 0;            // 10
    virtual HRESULT OnHover(HWND window, const CommentDrawRecord* record, DWORD duration) = 0; // 11
    virtual HRESULT GetWord2(DWORD* word) = 0;                                                 // 12
    virtual HRESULT SetWord2(DWORD word) = 0;                                                  // 13
    virtual HRESULT SetWord3(DWORD ignored, DWORD word) = 0;                                   // 14
    virtual HRESULT GetPosition(std::int32_t* pair) = 0;                                       // 15
    virtual HRESULT SetPositionProvider(ICommentPositionProvider* provider) = 0;               // 16
    virtual HRESULT GetPositionProvider(ICommentPositionProvider** out) = 0;                   // 17
    virtual HRESULT GetAbsolutePositionAsValue(std::int32_t* value) = 0;                       // 18
    virtual HRESULT SetText(IKVOString* text) = 0;                                             // 19

protected:
    ~IChartComment() = default;
};

struct IChartCommentEx : IChartComment {
    virtual HRESULT GetWord4(DWORD* word) = 0; // 20
    SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23)
    virtual HRESULT IsLess(IChartCommentEx* a, IChartCommentEx* b) = 0;      // 24: S_OK when a < b, else S_FALSE
    virtual HRESULT IsDifferent(IChartCommentEx* a, IChartCommentEx* b) = 0; // 25: S_OK when they differ
    virtual HRESULT GetAbsolutePosition(std::int32_t* value) = 0;            // 26
    virtual HRESULT SetPositionOffset(std::int32_t offset) = 0;              // 27
    virtual HRESULT GetMessageId(DWORD* id) = 0;                                    // 28
    virtual HRESULT GetDrawInfo(DWORD* messageId, DWORD* colour, DWORD* zero) = 0; // 29
    virtual HRESULT GetExtent(std::int32_t* pair) = 0; // 30
    virtual HRESULT ShowPopup(HWND window, const CommentDrawRecord* record, IKVOString* title,
                              ICommentPopupWindow** popup, DWORD further, const RECT* marker) = 0; // 31
    virtual HRESULT AnimateRectangle(HWND window, const RECT* from, const RECT* to, DWORD duration) = 0; // 32
    virtual HRESULT AnimateEllipse(HWND window, const RECT* from, const RECT* to, DWORD duration) = 0;   // 33
    virtual HRESULT Animate(HWND window, DWORD shape, const RECT* from, const RECT* to, DWORD duration) = 0; // 34
    virtual COLORREF GetMarkerColour(BOOL selected) = 0;                                                  // 35
    virtual HRESULT GetMarkerRectForDraw(HDC dc, const CommentDrawRecord* record, RECT* out) = 0;         // 36
    virtual HRESULT GetMarkerRect(HDC dc, const CommentDrawRecord* record, RECT* out) = 0;                // 37

protected:
    ~IChartCommentEx() = default;
};

// A comment object of this system, as the maker's own tools read it.
struct IKVOComment : IUnknown {
    // 3: first = the absolute position (-1 without a provider); every out argument is optional.
    virtual HRESULT GetKVOInfo(std::int32_t* first, DWORD* word3, DWORD* word2, IKVOString** text) = 0;
    virtual HRESULT GetWord3(DWORD* word) = 0;                    // 4
    virtual HRESULT GetAbsolutePosition(std::int32_t* value) = 0; // 5
    virtual HRESULT GetWord2(DWORD* word) = 0;                    // 6
    SDK_UNUSED_SLOT(7)
    virtual HRESULT GetWord4(DWORD* word) = 0; // 8

protected:
    ~IKVOComment() = default;
};

// What the chart tells the objects that watch its comments: a comment was added, changed or removed (the kind of
// change is the host's), with its channel and its place.
struct ICommentsObserver : IUnknown {
    virtual HRESULT OnCommentsChanged(LONG change, IUnknown* comment, LONG channel, LONG block, LONGLONG tick,
                                      LONG reserved) = 0; // 3

protected:
    ~ICommentsObserver() = default;
};

// The message that asks the host chart to show a comment.
struct IShowComment2Message : IUnknown {
    virtual HRESULT GetComment(IChartCommentEx** out) = 0; // 3: with a reference
    virtual HRESULT GetShowFlags(DWORD* flags) = 0;        // 4

protected:
    ~IShowComment2Message() = default;
};

// The host's factory of objects made from three texts.
struct IHostObjectFactory : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    virtual HRESULT Create(DWORD kind, IKVOString* first, IKVOString* second, IKVOString* third, DWORD option,
                           IUnknown** out) = 0; // 8

protected:
    ~IHostObjectFactory() = default;
};
