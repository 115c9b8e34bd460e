#include "graph/mgraph1/tickgenerator.h"

#include "foundation/nicestep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace MGraph1 {
namespace {

constexpr double kPixelsPerMajor = 40;
constexpr int kMinorsPerMajor = 5;
constexpr std::size_t kMostDivisions = 4096; // a scale far too fine for its lane gets no more rows than this

std::u16string Label(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::u16string(buffer, result.ptr);
}

} // namespace

HRESULT CreateTickGenerator(ITickGenerator** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = new TickGenerator;
    (*out)->AddRef();
    return S_OK;
}

HRESULT TickGenerator::QueryInterface(REFIID iid, void** out)
{
    if (out && iid == IID_IScaleDivisions) {
        *out = static_cast<IScaleDivisions*>(this);
        AddRef();
        return S_OK;
    }
    return SimpleUnknownImp1::QueryInterface(iid, out);
}

HRESULT TickGenerator::SetScale(double low, double high, double scale, double offset, LONG height)
{
    divisions_.clear();
    low_ = std::min(low, high);
    high_ = std::max(low, high);
    major_ = 0;
    const double pixels = std::fabs((high_ - low_) * scale);
    if (!(high_ > low_) || !std::isfinite(high_ - low_) || !(pixels > 0) || !std::isfinite(pixels) || height <= 0) {
        return S_FALSE;
    }
    const double majorCount = std::max(1.0, pixels / kPixelsPerMajor);
    major_ = KVO::NiceStepUp(KVO::NiceStepDown((high_ - low_) / majorCount));
    const double minor = major_ / kMinorsPerMajor;
    const double first = std::ceil(low_ / minor);
    const double last = std::floor(high_ / minor);
    if (!(last - first < static_cast<double>(kMostDivisions))) {
        return S_FALSE;
    }
    for (double k = first; k <= last; ++k) {
        const double value = k * minor;
        const double row = (value + offset) * scale;
        if (row < 0 || row >= height) {
            continue;
        }
        const bool isMajor = std::fabs(std::remainder(value, major_)) < minor * 1e-6;
        divisions_.push_back(Division{value, static_cast<LONG>(std::lround(row)), isMajor ? 2 : 1});
    }
    return S_OK;
}

HRESULT TickGenerator::GetCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(divisions_.size());
    return S_OK;
}

HRESULT TickGenerator::GetDivisions(LONG capacity, LONG* rows, LONG* kinds, LONG* written)
{
    if (!rows || !kinds || !written) {
        return E_POINTER;
    }
    const LONG n = std::min<LONG>(capacity, static_cast<LONG>(divisions_.size()));
    for (LONG i = 0; i < n; ++i) {
        rows[i] = divisions_[static_cast<std::size_t>(i)].row;
        kinds[i] = divisions_[static_cast<std::size_t>(i)].kind;
    }
    *written = std::max<LONG>(n, 0);
    return S_OK;
}

HRESULT TickGenerator::GetRange(double* low, double* high)
{
    if (!low || !high) {
        return E_POINTER;
    }
    *low = low_;
    *high = high_;
    return S_OK;
}

HRESULT TickGenerator::MeasureLabels(LONG, LONG, HFONT font, LONG* width)
{
    if (!width) {
        return E_POINTER;
    }
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = font ? SelectObject(screen, font) : nullptr;
    LONG widest = 0;
    for (const Division& d : divisions_) {
        if (d.kind != 2) {
            continue;
        }
        const std::u16string text = Label(d.value);
        SIZE size{};
        GetTextExtentPoint32W(screen, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &size);
        widest = std::max<LONG>(widest, size.cx);
    }
    if (font) {
        SelectObject(screen, previous);
    }
    ReleaseDC(nullptr, screen);
    *width = std::max(*width, widest);
    return S_OK;
}

} // namespace MGraph1
