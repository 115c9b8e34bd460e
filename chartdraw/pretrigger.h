// The diagonal hatching of the part of a record that lies before the trigger, fixed to the data as it scrolls, and
// the printing state a pane carries.
#pragma once

#include "platform/win/windows.h"

#include <cstdint>

namespace ChartDraw {

class DrawPreTriggerBackgroundBase {
public:
    virtual ~DrawPreTriggerBackgroundBase() = default;
};

class DrawPreTriggerBackground : public DrawPreTriggerBackgroundBase {
public:
    static constexpr int kStripeSpacing = 20;

    DrawPreTriggerBackground();
    ~DrawPreTriggerBackground() override;
    DrawPreTriggerBackground(const DrawPreTriggerBackground&) = delete;
    DrawPreTriggerBackground& operator=(const DrawPreTriggerBackground&) = delete;

    virtual void Build(int reserved, int height);
    virtual int Reserved() { return 0; }
    // Hatches [fromX, toX) of the target; 1 when there is nothing to hatch, 0 otherwise.
    virtual int Draw(HDC dc, std::int64_t tick, int fromX, int toX);

    int Height() const { return height_; }
    int HatchWidth() const { return hatchWidth_; }
    HBITMAP Hatch() const { return hatch_; }

    // The memory DC all hatches share: made on first use, kept until the module unloads.
    static HDC SharedDc();

private:
    int height_ = 0;
    int hatchWidth_ = 0;
    HBITMAP hatch_ = nullptr;
};

struct IDrawPrintable {
    virtual HRESULT SetPrintTarget(DWORD target) = 0;
    virtual HRESULT ClearPrintTarget() = 0;
    virtual HRESULT IsPrinting(WORD* flag) = 0;

protected:
    ~IDrawPrintable() = default;
};

class DrawPrintableBase : public IDrawPrintable {
public:
    HRESULT SetPrintTarget(DWORD target) override;
    HRESULT ClearPrintTarget() override;
    HRESULT IsPrinting(WORD* flag) override;
    DWORD PrintTarget() const { return target_; }

private:
    DWORD target_ = 0;
};

} // namespace ChartDraw
