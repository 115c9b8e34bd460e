// Picture controls: a group box whose caption carries a small bitmap, and a static control that paints a bitmap.
#pragma once

#include "platform/owl/control.h"

#include <memory>

namespace KVOControls {

class TBitmapGroupBox : public owl::TGroupBox {
public:
    // Takes over the dialog's group box; the bitmap comes from this library's resources. A bitmap that cannot be
    // loaded leaves the box without picture.
    TBitmapGroupBox(owl::TWindow* parent, int resourceId, int bitmapResourceId, owl::TModule* module = nullptr);

    void SetupWindow() override;
    void EvPaint() override;

    int PadCount() const { return padCount; }
    // Where the picture goes, in client coordinates (from the caption at set-up).
    owl::TPoint PicturePosition();
    const owl::TBitmap* Bitmap() const { return bitmap.get(); }

private:
    // The trimmed caption and the font the box draws it with.
    owl::tstring TrimmedCaption() const;

    std::unique_ptr<owl::TBitmap> bitmap;
    bool bitmapAfterText = true;
    int padCount = 0;
};

class BitmapWindow : public owl::TStatic {
public:
    static constexpr int ControlId = 1075;
    // Takes over the dialog's static control 1075 and owns the bitmap (which may be null).
    BitmapWindow(owl::TWindow* parent, owl::TBitmap* bitmap, owl::TModule* module = nullptr);

    void SetupWindow() override;
    void EvPaint() override;

private:
    std::unique_ptr<owl::TBitmap> bitmap;
    owl::TRect clientRect;
};
}
