#include "foundation/devicecontexts.h"

#include "foundation/xkvo.h"
#include "platform/win/files.h"
#include "platform/win/globalmem.h"
#include "platform/win/profile.h"

#include <string>
#include <vector>

ScreenBitMapDC::ScreenBitMapDC(int width, int height) : Height(height), Width(width)
{
    if (width < 1 || height < 1) {
        return;
    }
    HDC screen = GetDC(nullptr);
    Bitmap = CreateCompatibleBitmap(screen, width, height);
    // The failure's own code, or E_FAIL when the system gave none, so that it never reads as success.
    const HRESULT failure = Bitmap ? S_OK : platform::LastErrorResult();
    ReleaseDC(nullptr, screen);
    if (!Bitmap) {
        throw XKVO(KVO::String(u"ScreenBitMapDC:: ctor fail"), failure);
    }
    previous_ = ::SelectObject(Handle, Bitmap);
}

ScreenBitMapDC::~ScreenBitMapDC()
{
    SetViewportOrgEx(Handle, 0, 0, nullptr);
    SetWindowOrgEx(Handle, 0, 0, nullptr);
    if (Bitmap) {
        ::SelectObject(Handle, previous_);
        DeleteObject(Bitmap);
    }
}

namespace KVO {

HGLOBAL EnhMetaFileToMetaFilePict(HENHMETAFILE metafile, HDC reference)
{
    const UINT size = GetWinMetaFileBits(metafile, 0, nullptr, MM_ANISOTROPIC, reference);
    if (size == 0) {
        return nullptr;
    }
    std::vector<BYTE> bits(size);
    if (GetWinMetaFileBits(metafile, size, bits.data(), MM_ANISOTROPIC, reference) != size) {
        return nullptr;
    }
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    HMETAFILE converted = SetMetaFileBitsEx(size, bits.data());
    if (!converted) {
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, sizeof(METAFILEPICT));
    if (!block) {
        DeleteMetaFile(converted);
        return nullptr;
    }
    auto* picture = static_cast<METAFILEPICT*>(GlobalLock(block));
    picture->mm = MM_ANISOTROPIC;
    picture->xExt = header.rclFrame.right;
    picture->yExt = header.rclFrame.bottom;
    picture->hMF = converted;
    GlobalUnlock(block);
    return block;
}

std::unique_ptr<owl::TDC> CreateDefaultPrinterDC()
{
    char16_t entry[256] = {};
    GetProfileStringW(u"windows", u"device", u"", entry, 255);
    const std::u16string text(entry);
    const auto first = text.find(u',');
    const std::u16string device = text.substr(0, first);
    std::u16string driver;
    if (first != std::u16string::npos) {
        driver = text.substr(first + 1, text.find(u',', first + 1) - first - 1);
    }
    if (device.empty() || driver.empty()) {
        return std::make_unique<owl::TScreenDC>();
    }
    return std::make_unique<owl::TPrintDC>(driver.c_str(), device.c_str());
}

} // namespace KVO
