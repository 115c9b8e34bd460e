// The error mark beside a validated control: a small picture, hidden while the value is good and shown with a
// title and a message when it is not. Hovering or clicking the mark explains the error in a balloon or in a plain
// popup text. The static-text form carries its own mark right behind its last character.
#pragma once

#include "controls/nothrow.h"
#include "controls/popup.h"
#include "foundation/kvostring.h"
#include "platform/owl/control.h"

#include <functional>
#include <memory>

namespace KVOControls {

class ErrorProvider : public owl::TStatic {
public:
    // Display modes (one is kept) and pictures (one is kept), and the link bit.
    enum Mode : unsigned {
        Balloon = 1,
        HoverPopup = 2,
        MarkOnly = 4,
        PictureError = 8,
        PictureWarning = 16,
        PictureInfo = 32,
        BalloonLink = 64,
    };
    static constexpr UINT kTimerId = 1;
    static constexpr UINT kTimerMs = 50;
    static constexpr UINT kPopupMs = 5000;

    // Takes over a dialog control; balloon mode with the error picture.
    ErrorProvider(owl::TWindow* parent, int resourceId, owl::TModule* module = nullptr);
    // A new mark.
    ErrorProvider(owl::TWindow* parent, int id, int x, int y, int w, int h, unsigned mode);
    ~ErrorProvider() override;

    // Stores the texts and shows or hides the mark; it opens no balloon by itself.
    void SetError(bool show, const KVO::String& title, const KVO::String& message);
    void SetLinkText(const KVO::String& text) { linkText = text; }
    void SetOnClick(std::function<void()> callback) { onClick = std::move(callback); }
    void SetOnLink(std::function<void()> callback) { onLink = std::move(callback); }

    unsigned GetMode() const { return mode; }
    const KVO::String& GetTitle() const { return title; }
    const KVO::String& GetMessage() const { return message; }
    bool PopupShown() const { return popup != nullptr; }

    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        return KVOControls::NoThrow([&] { return TStatic::WindowProc(message, p1, p2); });
    }
    void SetupWindow() override;
    void EvPaint() override;
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvRButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseLeave() override;
    void EvTimer(owl::uint timerId) override;

protected:
    unsigned mode;
    std::unique_ptr<owl::TBitmap> errorPicture;   // bitmap 206
    std::unique_ptr<owl::TBitmap> warningPicture; // bitmap 207
    std::unique_ptr<owl::TBitmap> infoPicture;    // bitmap 208
    KVO::String title;
    KVO::String message;
    KVO::String linkText;
    POINT lastBalloonPoint{-1000000, -1000000};
    std::function<void()> onClick;
    std::function<void()> onLink;
    int hoverMs = 0;
    std::unique_ptr<KVO::Popup> popup;
    bool popupShown = false;
    bool tracking = false;

private:
    void Init();
    void Press();
    void StartHoverTimer();
    void OpenBalloon();
    const owl::TBitmap* Picture() const;
};

// A static text (the label of a field) whose error mark follows 5 pixels behind its last character.
class StaticTextErrorProvider : public owl::TStatic {
public:
    class MoveableErrProv : public ErrorProvider {
    public:
        explicit MoveableErrProv(owl::TWindow* parent);
    };

    StaticTextErrorProvider(owl::TWindow* parent, int resourceId);
    ~StaticTextErrorProvider() override;

    void SetText(LPCWSTR text);
    void SetError(bool show, const KVO::String& title, const KVO::String& message);
    MoveableErrProv* Mark() const { return mark; }

    void SetupWindow() override;
    void EvMove(const owl::TPoint& clientOrigin) override;

private:
    // Moves the mark behind the text; true when it moved.
    bool PlaceMark();
    MoveableErrProv* mark; // a child of the parent, deleted with the static
};

} // namespace KVOControls
