// Comments in the host chart: the comment objects that the chart shows, the object that places a comment, and the
// factory of host objects made from texts.
#pragma once

#include "platform/com/unknown.h"
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

struct IKVOString;

// The comment position that a chart attaches to a comment.
struct ICommentPositionProvider : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10)
    virtual HRESULT GetPosition(std::int32_t* pair) = 0; // 11

protected:
    ~ICommentPositionProvider() = default;
};

struct IChartComment : IUnknown {
    // 3: the position pair (when asked for), the two words and the text with a reference for the caller.
    virtual HRESULT GetCommentInfo(std::int32_t* positionPair, DWORD* channel, DWORD* display, IKVOString** text) = 0;
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12) SDK_UNUSED_SLOT(13)
    SDK_UNUSED_SLOT(14) SDK_UNUSED_SLOT(15) SDK_UNUSED_SLOT(16) SDK_UNUSED_SLOT(17) SDK_UNUSED_SLOT(18)
    virtual HRESULT SetText(IKVOString* text) = 0; // 19

protected:
    ~IChartComment() = default;
};

struct IChartCommentEx : IChartComment {
    SDK_UNUSED_SLOT(20) SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24)
    SDK_UNUSED_SLOT(25)
    virtual HRESULT GetEventTick(LONG* tick) = 0;                              // 26
    virtual HRESULT SetEventTick(LONG tick) = 0;                               // 27
    virtual HRESULT GetMessageId(DWORD* id) = 0;                               // 28
    virtual HRESULT GetDrawInfo(DWORD* messageId, DWORD* colour, DWORD* zero) = 0; // 29
    virtual HRESULT GetEventPosition(LONG* tickAndRecord) = 0;                 // 30

protected:
    ~IChartCommentEx() = default;
};

// A comment object of this system (no operations of its own).
struct IKVOComment : IUnknown {
protected:
    ~IKVOComment() = default;
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
