// The graph library's tick generator: the value divisions of a lane (1-2-5 steps, majors and minors) as pixel rows,
// and the width that the labels of a scale need.
#pragma once

#include "foundation/comobject.h"
#include "platform/win/windows.h"

#include <vector>

namespace MGraph1 {

// The division interface of a scale: (row, kind) pairs, kind 2 for a major division.
struct IScaleDivisions : IUnknown {
    virtual HRESULT GetCount(LONG* count) = 0;                                         // 3
    virtual HRESULT GetDivisions(LONG capacity, LONG* rows, LONG* kinds, LONG* written) = 0; // 4
    virtual HRESULT Reserved5() = 0;                                                   // 5
    // 6: the value range the divisions cover.
    virtual HRESULT GetRange(double* low, double* high) = 0;

protected:
    ~IScaleDivisions() = default;
};
// {91C5E2B7-4D08-4A3F-A76E-0B2F5C8D1E93}
inline constexpr IID IID_IScaleDivisions{0x91C5E2B7, 0x4D08, 0x4A3F, {0xA7, 0x6E, 0x0B, 0x2F, 0x5C, 0x8D, 0x1E, 0x93}};

struct ITickGenerator : IScaleDivisions {
    virtual HRESULT Reserved7() = 0;                                                   // 7
    virtual HRESULT Reserved8() = 0;                                                   // 8
    virtual HRESULT Reserved9() = 0;                                                   // 9
    virtual HRESULT Reserved10() = 0;                                                  // 10
    // 11: the width of the widest label of `count` divisions in the font.
    virtual HRESULT MeasureLabels(LONG count, LONG reserved, HFONT font, LONG* width) = 0;
    // 12: divisions of [low, high] for rows y = (value + offset) * scale over `height` pixels.
    virtual HRESULT SetScale(double low, double high, double scale, double offset, LONG height) = 0;

protected:
    ~ITickGenerator() = default;
};
// {3A7F0D62-B91E-4C58-8E04-6D2B97A1C5F3}
inline constexpr IID IID_ITickGenerator{0x3A7F0D62, 0xB91E, 0x4C58, {0x8E, 0x04, 0x6D, 0x2B, 0x97, 0xA1, 0xC5, 0xF3}};

// A new tick generator with one reference.
HRESULT CreateTickGenerator(ITickGenerator** out);

} // namespace MGraph1

template <>
struct InterfaceIdOf<MGraph1::ITickGenerator> {
    static constexpr const IID& value = MGraph1::IID_ITickGenerator;
};

namespace MGraph1 {

class TickGenerator final : public SimpleUnknownImp1<ITickGenerator, 0> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    HRESULT GetCount(LONG* count) override;
    HRESULT GetDivisions(LONG capacity, LONG* rows, LONG* kinds, LONG* written) override;
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetRange(double* low, double* high) override;
    HRESULT Reserved7() override { return E_NOTIMPL; }
    HRESULT Reserved8() override { return E_NOTIMPL; }
    HRESULT Reserved9() override { return E_NOTIMPL; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT MeasureLabels(LONG count, LONG reserved, HFONT font, LONG* width) override;
    HRESULT SetScale(double low, double high, double scale, double offset, LONG height) override;

    // The major step: a 1-2-5 step that leaves about 40 pixels between majors.
    double MajorStep() const { return major_; }

private:
    struct Division {
        double value;
        LONG row;
        LONG kind;
    };
    std::vector<Division> divisions_;
    double low_ = 0;
    double high_ = 0;
    double major_ = 0;
};

} // namespace MGraph1
