#include "controls/gdiplusbitmaps.h"

#include "foundation/moduleinstance.h"
#include "platform/com/hglobalstream.h"
#include "platform/win/globalmem.h"
#include "platform/win/resources.h"
#include "platform/win/winuser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

bool TGdiPlusBitmapResource::Load(LPCWSTR name, LPCWSTR type, HMODULE module)
{
    Empty();
    HRSRC found = FindResourceW(module, name, type);
    if (!found) {
        return false;
    }
    const DWORD size = SizeofResource(module, found);
    const void* data = size ? LockResource(LoadResource(module, found)) : nullptr;
    if (!data) {
        return false;
    }
    buffer_ = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!buffer_) {
        return false;
    }
    if (void* copy = GlobalLock(buffer_)) {
        std::memcpy(copy, data, size);
        IStream* stream = nullptr;
        if (CreateStreamOnHGlobal(buffer_, FALSE, &stream) == S_OK) {
            bitmap_.reset(Gdiplus::Bitmap::FromStream(stream));
            stream->Release();
            if (bitmap_ && bitmap_->GetLastStatus() == Gdiplus::Ok) {
                return true; // the block stays locked while the bitmap lives
            }
            bitmap_.reset();
        }
        GlobalUnlock(buffer_);
    }
    GlobalFree(buffer_);
    buffer_ = nullptr;
    return false;
}

void TGdiPlusBitmapResource::Empty()
{
    TGdiPlusBitmap::Empty();
    if (buffer_) {
        GlobalUnlock(buffer_);
        GlobalFree(buffer_);
        buffer_ = nullptr;
    }
}

GdiplusStarter& GdiplusStarter::Instance()
{
    static GdiplusStarter starter;
    return starter;
}

GdiplusStarter::GdiplusStarter() { status_ = Gdiplus::GdiplusStartup(&token_, &input_, nullptr); }

GdiplusStarter::~GdiplusStarter()
{
    if (Started()) {
        Gdiplus::GdiplusShutdown(token_);
    }
}

namespace KVOControls {
Gdiplus::Bitmap* LoadPngAsArgbBitmap(UINT resourceId, HMODULE module)
{
    return LoadPngAsArgbBitmap(MAKEINTRESOURCEW(resourceId), module);
}

Gdiplus::Bitmap* LoadPngAsArgbBitmap(LPCWSTR name, HMODULE module)
{
    GdiplusStarter::Instance();
    TGdiPlusBitmapResource png;
    if (!png.Load(name, u"PNG", module ? module : KVO::ModuleInstance())) {
        return nullptr;
    }
    Gdiplus::Bitmap* source = png.Get();
    const auto width = static_cast<INT>(source->GetWidth());
    const auto height = static_cast<INT>(source->GetHeight());
    auto* argb = new Gdiplus::Bitmap(width, height, Gdiplus::PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(argb);
    if (argb->GetLastStatus() != Gdiplus::Ok ||
        graphics.DrawImage(source, Gdiplus::Rect(0, 0, width, height)) != Gdiplus::Ok) {
        delete argb;
        return nullptr;
    }
    return argb;
}
}

namespace KVO {
namespace {
// Thread timers carry no pointer: the id finds its object.
std::map<UINT_PTR, LowPriorityTimer*>& Timers()
{
    static auto* timers = new std::map<UINT_PTR, LowPriorityTimer*>;
    return *timers;
}
}

UINT LowPriorityTimer::PeriodMs(double periodSeconds)
{
    return static_cast<UINT>(std::min(periodSeconds * 1000.0, 2147483647.0) + 0.5);
}

LowPriorityTimer::LowPriorityTimer(double periodSeconds)
{
    // Negative or NaN periods would make no sensible timer; they start nothing, like 0.
    if (periodSeconds > 0) {
        StartTimer(PeriodMs(periodSeconds));
    }
}

LowPriorityTimer::~LowPriorityTimer()
{
    if (timerId_ != 0) {
        StopTimer();
    }
}

bool LowPriorityTimer::StartTimer(UINT periodMs)
{
    const UINT_PTR id = SetTimer(nullptr, timerId_, periodMs, &LowPriorityTimer::Tick);
    if (!id) {
        return false;
    }
    if (timerId_ && timerId_ != id) {
        Timers().erase(timerId_);
    }
    timerId_ = id;
    Timers()[id] = this;
    return true;
}

void LowPriorityTimer::StopTimer()
{
    if (timerId_ == 0) {
        return;
    }
    KillTimer(nullptr, timerId_);
    Timers().erase(timerId_);
    timerId_ = 0;
}

void LowPriorityTimer::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto found = Timers().find(id);
    if (found != Timers().end()) {
        found->second->OnTimer();
    }
}
}
