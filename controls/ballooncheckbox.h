// Check boxes and radio buttons that explain themselves: when the cursor rests on one, a help balloon with a
// title and a text opens beside it.
#pragma once

#include "controls/nothrow.h"
#include "platform/owl/control.h"

#include <string>

namespace KVOControls {

class TBalloonCheckBox : public owl::TCheckBox {
public:
    static constexpr UINT kTimerId = 1;
    static constexpr double kMoveTolerance = 3.0;

    // A new check box of 100 x 16 pixels.
    TBalloonCheckBox(owl::TWindow* parent, int id, LPCWSTR caption, int x, int y);
    // Takes over a dialog control.
    TBalloonCheckBox(owl::TWindow* parent, int resourceId);

    // Offers the balloon with these texts: null gives "Title" and "Content"; a width from 3 up (in characters)
    // re-wraps the content into lines of at most width - 2 characters.
    void SetBalloonText(LPCWSTR title, LPCWSTR content, int width);
    void SetAutoClose(UINT ms) { autoCloseMs = ms; }
    void SetDelay(UINT ms) { delayMs = ms; }
    const std::u16string& GetBalloonTitle() const { return title; }
    const std::u16string& GetBalloonContent() const { return content; }

    // The click handling of the check box (a radio button runs it when it is checked).
    virtual void BNClicked() {}

    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        return KVOControls::NoThrow([&] { return TCheckBox::WindowProc(message, p1, p2); });
    }
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvTimer(owl::uint timerId) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvRButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvMouseLeave() override;

protected:
    bool enabled = true;
    bool tracking = false;
    bool shown = false;
    bool clicked = false;
    UINT autoCloseMs = 0;
    UINT delayMs = 750;
    unsigned balloonOptions = 0x4C00;
    std::u16string title = u"Title";
    std::u16string content = u"Content";
    UINT icon = 32516; // the system's information icon
    POINT lastPoint{-1000000, -1000000};

private:
    void Suppress();
    void OpenBalloon();
};

class BalloonRadioButton : public TBalloonCheckBox {
public:
    BalloonRadioButton(owl::TWindow* parent, int resourceId);
    bool EvNotifyAtChild(owl::uint notifyCode) override;
};

// The content cut into lines of at most width - 2 characters, each ending with CR LF; an empty content or a single
// white-space character becomes " " and a line feed. Widths below 3 leave the text as it is.
std::u16string WrapBalloonContent(const std::u16string& content, int width);

} // namespace KVOControls
