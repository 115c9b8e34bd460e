// The comments that the module hands to the host chart: the comment base that stores the text, the position and the
// host's words, and the event-comment base that draws its marker and label, answers the mouse and shows its popup.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "platform/owl/gdiobject.h"
#include "sdk/chartcomment.h"

#include <cstdint>
#include <memory>

namespace CommentSlots {
// Both host interfaces name an operation GetAbsolutePosition; a comment may answer them apart, so each reaches its own
// overridable member.
struct ChartPosition : IChartCommentEx {
    HRESULT GetAbsolutePosition(std::int32_t* value) final { return GetChartAbsolutePosition(value); }
    virtual HRESULT GetChartAbsolutePosition(std::int32_t* value) = 0;

protected:
    ~ChartPosition() = default;
};
struct KVOPosition : IKVOComment {
    HRESULT GetAbsolutePosition(std::int32_t* value) final { return GetKVOAbsolutePosition(value); }
    virtual HRESULT GetKVOAbsolutePosition(std::int32_t* value) = 0;

protected:
    ~KVOPosition() = default;
};
} // namespace CommentSlots

class ChartCommentBase : public CommentSlots::ChartPosition,
                         public CommentSlots::KVOPosition,
                         public KVO::CComObjectRoot {
public:
    // Holds a reference on the text; no provider, words 2 and 4 are 0; created with a count of 0.
    ChartCommentBase(const KVO::String& text, DWORD word3, std::int32_t storedPosition, std::int32_t positionOffset,
                     DWORD word1);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // IChartComment
    HRESULT GetInfo(std::int32_t* positionPair, DWORD* word3, DWORD* word2, IKVOString** text) override;
    HRESULT GetPositionReversed(std::int32_t* pair) override;
    HRESULT GetPositionOffset(std::int32_t* offset) override;
    HRESULT GetWord1(DWORD* word) override;
    HRESULT GetWord3(DWORD* word) override;
    HRESULT Draw(HDC, HDC, const CommentDrawRecord*, DWORD) override { return E_NOTIMPL; }
    HRESULT HitTest(HDC, const CommentDrawRecord*, POINT, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT ShowPopupAtMarker(HWND window, const CommentDrawRecord* record, IKVOString* title,
                              ICommentPopupWindow** popup, DWORD further) override;
    HRESULT OnHover(HWND, const CommentDrawRecord*, DWORD) override { return E_NOTIMPL; }
    HRESULT GetWord2(DWORD* word) override;
    HRESULT SetWord2(DWORD word) override;
    HRESULT SetWord3(DWORD ignored, DWORD word) override;
    HRESULT GetPosition(std::int32_t* pair) override;
    HRESULT SetPositionProvider(ICommentPositionProvider* provider) override;
    HRESULT GetPositionProvider(ICommentPositionProvider** out) override;
    HRESULT GetAbsolutePositionAsValue(std::int32_t* value) override;
    HRESULT SetText(IKVOString* text) override;

    // IChartCommentEx
    HRESULT GetWord4(DWORD*) override { return E_NOTIMPL; }
    HRESULT IsLess(IChartCommentEx* a, IChartCommentEx* b) override;
    HRESULT IsDifferent(IChartCommentEx* a, IChartCommentEx* b) override;
    HRESULT GetChartAbsolutePosition(std::int32_t* value) override { return AbsolutePosition(value); }
    HRESULT SetPositionOffset(std::int32_t offset) override;
    HRESULT GetMessageId(DWORD*) override { return E_NOTIMPL; }
    HRESULT GetDrawInfo(DWORD*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetExtent(std::int32_t* pair) override;
    HRESULT ShowPopup(HWND window, const CommentDrawRecord* record, IKVOString* title, ICommentPopupWindow** popup,
                      DWORD further, const RECT* marker) override;
    HRESULT AnimateRectangle(HWND window, const RECT* from, const RECT* to, DWORD duration) override;
    HRESULT AnimateEllipse(HWND window, const RECT* from, const RECT* to, DWORD duration) override;
    HRESULT Animate(HWND window, DWORD shape, const RECT* from, const RECT* to, DWORD duration) override;
    COLORREF GetMarkerColour(BOOL) override { return 0; }
    HRESULT GetMarkerRectForDraw(HDC, const CommentDrawRecord*, RECT*) override { return E_NOTIMPL; }
    HRESULT GetMarkerRect(HDC, const CommentDrawRecord*, RECT*) override { return E_NOTIMPL; }

    // IKVOComment
    HRESULT GetKVOInfo(std::int32_t* first, DWORD* word3, DWORD* word2, IKVOString** text) override;
    HRESULT GetKVOAbsolutePosition(std::int32_t* value) final { return AbsolutePosition(value); }

    const KVO::String& Text() const { return text_; }
    DWORD Word4() const { return word4_; }
    void SetWord4(DWORD word) { word4_ = word; }

protected:
    // The provider's base value plus the offset; -1 and E_FAIL without a provider.
    HRESULT AbsolutePosition(std::int32_t* value);
    // The provider's position when one is attached (-1 when it writes none), else the stored position.
    std::int32_t First() const;
    void SetStoredPosition(std::int32_t stored, std::int32_t offset)
    {
        storedPosition_ = stored;
        positionOffset_ = offset;
    }

private:
    DWORD word1_;
    DWORD word2_ = 0;
    std::int32_t positionOffset_;
    DWORD word3_;
    KVO::String text_;
    DWORD word4_ = 0;
    ICommentPositionProvider* provider_ = nullptr; // not held: the chart owns it and detaches it
    std::int32_t storedPosition_;
};

// A comment that marks one detected event: a filled circle at the top of the event, an optional dotted line below
// it and an optional label written upward beside the line. Sizes scale with the device's resolution.
class EventCommentBase : public ChartCommentBase {
public:
    using ChartCommentBase::ChartCommentBase;

    HRESULT Draw(HDC dc, HDC reference, const CommentDrawRecord* record, DWORD reserved) override;
    HRESULT HitTest(HDC dc, const CommentDrawRecord* record, POINT point, DWORD reserved, DWORD* result) override;
    HRESULT ShowPopupAtMarker(HWND window, const CommentDrawRecord* record, IKVOString* title,
                              ICommentPopupWindow** popup, DWORD further) override;
    HRESULT OnHover(HWND window, const CommentDrawRecord* record, DWORD duration) override;
    HRESULT GetWord4(DWORD* word) override;
    HRESULT UnusedSlot21() override { return E_FAIL; }
    HRESULT UnusedSlot22() override { return E_FAIL; }
    COLORREF GetMarkerColour(BOOL selected) override { return selected ? 0 : colour_; }
    HRESULT GetMarkerRectForDraw(HDC dc, const CommentDrawRecord* record, RECT* out) override
    {
        return GetMarkerRect(dc, record, out);
    }
    HRESULT GetMarkerRect(HDC dc, const CommentDrawRecord* record, RECT* out) override;

    DWORD Colour() const { return colour_; }

    // The fonts of the labels at one size and resolution: made once, kept for the process.
    struct DPI_FONT {
        std::shared_ptr<owl::TFont> rotated;
        std::shared_ptr<owl::TFont> upright;
        int rotatedHeight;
        int uprightHeight;
    };
    static const DPI_FONT& GetFontEntry(int points, int dpi);

protected:
    COLORREF colour_ = 0xFFFFFF; // the marker's fill

private:
    void DrawMarker(HDC dc, HDC reference, const CommentDrawRecord& record);
    void DrawLabel(HDC dc, const CommentDrawRecord& record);
};
