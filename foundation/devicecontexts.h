// Device contexts beyond the window's own: an off-screen bitmap of the screen's kind, the default printer, and a
// clipboard picture of an enhanced metafile.
#pragma once

#include "platform/owl/dc.h"

#include <memory>

// A memory DC that owns one bitmap compatible with the screen. Sizes below 1 give a DC without a bitmap.
class ScreenBitMapDC : public owl::TMemoryDC {
public:
    // Throws XKVO ("ScreenBitMapDC:: ctor fail") when the bitmap cannot be made.
    ScreenBitMapDC(int width, int height);
    // Resets the origins, puts the DC's first bitmap back and deletes its own.
    ~ScreenBitMapDC() override;

    int Height;
    int Width;
    HBITMAP Bitmap = nullptr;

private:
    HGDIOBJ previous_ = nullptr;
};

namespace KVO {

// A global block holding a METAFILEPICT (MM_ANISOTROPIC, the frame's right and bottom edges as extents) and a
// Windows metafile converted from the enhanced one; null when the conversion fails.
HGLOBAL EnhMetaFileToMetaFilePict(HENHMETAFILE metafile, HDC reference);

// A DC of the default printer named by the profile's "windows" / "device" entry ("device,driver,port"). An empty
// entry, or one that names no device or no driver, gives a screen DC.
std::unique_ptr<owl::TDC> CreateDefaultPrinterDC();

} // namespace KVO
