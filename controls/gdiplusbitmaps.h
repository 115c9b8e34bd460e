// GDI+ bitmaps from the module's resources, the one GDI+ start-up of the process, and a timer without a window
// whose ticks come as the thread's lowest-priority message.
#pragma once

#include "platform/gdi/gdiplus.h"

#include <memory>

// Owns one GDI+ bitmap (may be none).
class TGdiPlusBitmap {
public:
    TGdiPlusBitmap() = default;
    virtual ~TGdiPlusBitmap() { Empty(); }
    TGdiPlusBitmap(const TGdiPlusBitmap&) = delete;
    TGdiPlusBitmap& operator=(const TGdiPlusBitmap&) = delete;
    Gdiplus::Bitmap* Get() const { return bitmap_.get(); }
    operator Gdiplus::Bitmap*() const { return bitmap_.get(); }
    // Hands the bitmap over to the caller.
    Gdiplus::Bitmap* Release() { return bitmap_.release(); }
    virtual void Empty() { bitmap_.reset(); }

protected:
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

// A bitmap read from a resource's bytes, through a stream over a movable global block that lives as long as it.
class TGdiPlusBitmapResource : public TGdiPlusBitmap {
public:
    TGdiPlusBitmapResource() = default;
    ~TGdiPlusBitmapResource() override { Empty(); }
    // False when the resource is missing or empty, cannot be locked, or holds no picture GDI+ can read.
    bool Load(LPCWSTR name, LPCWSTR type, HMODULE module);
    void Empty() override;

private:
    HGLOBAL buffer_ = nullptr;
};

// The process's GDI+ start-up (version 1, no debug callback, background thread and codecs as usual), made by its
// first user and shut down when the module unloads.
class GdiplusStarter {
public:
    static GdiplusStarter& Instance();
    ~GdiplusStarter();
    GdiplusStarter(const GdiplusStarter&) = delete;
    GdiplusStarter& operator=(const GdiplusStarter&) = delete;
    bool Started() const { return status_ == Gdiplus::Ok; }

private:
    GdiplusStarter();
    Gdiplus::GdiplusStartupInput input_;
    ULONG_PTR token_ = 0;
    Gdiplus::Status status_ = Gdiplus::GenericError;
};

namespace KVOControls {
// The module's "PNG" resource of that id drawn into a new 32-bit premultiplied ARGB bitmap of its size (the
// caller owns it); null when the resource is missing or unreadable.
Gdiplus::Bitmap* LoadPngAsArgbBitmap(UINT resourceId, HMODULE module = nullptr);
Gdiplus::Bitmap* LoadPngAsArgbBitmap(LPCWSTR name, HMODULE module);
}

namespace KVO {

// A thread timer whose ticks call OnTimer. A period of 0 (or one that is not a positive number) starts nothing.
class LowPriorityTimer {
public:
    explicit LowPriorityTimer(double periodSeconds = 0);
    virtual ~LowPriorityTimer();
    LowPriorityTimer(const LowPriorityTimer&) = delete;
    LowPriorityTimer& operator=(const LowPriorityTimer&) = delete;

    virtual void OnTimer() = 0;

    // Starts (or restarts) the timer with a period in milliseconds; false when the system has no timer for it.
    bool StartTimer(UINT periodMs);
    void StopTimer();
    UINT_PTR TimerId() const { return timerId_; }
    // The period in milliseconds for a period in seconds: rounded, at most 2147483647.
    static UINT PeriodMs(double periodSeconds);

private:
    static void Tick(HWND, UINT, UINT_PTR id, DWORD);
    UINT_PTR timerId_ = 0;
};
}
