#include "graph/mgraph1/plotdata.h"

#include "graph/mgraph1/pixelmath.h"

#include <charconv>
#include <cmath>

namespace MGraph1 {

bool PlotDataBase::GetHint(int, Hint*) { return false; }

void PlotDataBase::SetChanged(bool value)
{
    changed = value;
    if (value) {
        redrawNeeded = true;
        hintStale = true;
    }
}

bool XYCPlotDataBase::GetHint(int, Hint* hint)
{
    if (!hint) {
        return false;
    }
    hint->valid = false;
    hintStale = false;
    HitRecord record;
    if (!FindNearestHit(hint->relative.x, hint->relative.y, 20, &record)) {
        return false;
    }
    hint->x = record.x;
    hint->y = record.y;
    hint->index = record.index;
    hint->valid = true;
    return true;
}

bool XYCPlotDataBase::BeginPlot(int width, int height, std::int32_t* cookie)
{
    if (width < 1 || height < 1 || plotting) {
        return false;
    }
    if (width != hitWidth || height != hitHeight || hitOffsetX != 0 || hitOffsetY != 0) {
        ClearHits();
        hitWidth = width;
        hitHeight = height;
        hitOffsetX = 0;
        hitOffsetY = 0;
    }
    plotting = true;
    if (cookie) {
        *cookie = 0;
    }
    return true;
}

bool XYCPlotDataBase::FindNearestHit(int x, int y, int radius, HitRecord* record)
{
    if (hits_.empty()) {
        return false;
    }
    x -= hitOffsetX;
    y -= hitOffsetY;
    const long long r = radius;
    const long long r2 = r * r;
    long long best = r2;
    bool found = false;
    const long long x0 = std::max<long long>(0, x - r);
    const long long x1 = std::min<long long>(hitWidth, x + r);
    const long long y0 = std::max<long long>(0, y - r);
    const long long y1 = std::min<long long>(hitHeight, y + r);
    for (long long row = y0; row < y1; ++row) {
        for (long long column = x0; column < x1; ++column) {
            const long long dx = column - x;
            const long long dy = row - y;
            const long long d2 = dx * dx + dy * dy;
            HitRecord candidate;
            if (d2 < best && GetHit(static_cast<int>(column), static_cast<int>(row), &candidate)) {
                best = d2;
                found = true;
                if (record) {
                    *record = candidate;
                }
            }
        }
    }
    return found;
}

bool XYCPlotDataBase::GetHit(int x, int y, HitRecord* record) const
{
    if (!InMap(x, y)) {
        return false;
    }
    const auto found = hits_.find(Key(x, y));
    if (found == hits_.end()) {
        return false;
    }
    if (record) {
        *record = found->second;
    }
    return true;
}

void XYCPlotDataBase::SetHit(int x, int y, double xValue, double yValue, std::int32_t index, COLORREF colour,
                             std::int32_t pass)
{
    SetHitRecord(x, y, HitRecord{-1, xValue, yValue, index, pass, colour});
}

void XYCPlotDataBase::SetHitRecord(int x, int y, const HitRecord& record)
{
    if (InMap(x, y)) {
        hits_[Key(x, y)] = record;
    }
}

void XYCPlotDataBase::InsertHit(int x, int y, const HitRecord& record)
{
    if (InMap(x, y)) {
        hits_.try_emplace(Key(x, y), record);
    }
}

bool XYCPlotDataBase::HasHighlight() const
{
    return IsFinite(highlightX) && IsFinite(highlightY) && highlightX != 2147483647.0 && highlightY != 2147483647.0;
}

PlotScope::PlotScope(XYCPlotDataBase* data, int width, int height)
{
    std::int32_t cookie = 0;
    if (data && data->BeginPlot(width, height, &cookie)) {
        data_ = data;
    }
}

PlotScope::~PlotScope()
{
    if (data_) {
        data_->EndPlot();
    }
}

namespace {
KVO::String OutOfRangeText(int series)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, series).ptr;
    KVO::String text(u" Series ");
    for (const char* c = digits; c != end; ++c) {
        text.Append(static_cast<char16_t>(*c));
    }
    text.Append(u" out of range");
    return text;
}
}

bool YCPlotDataEx::GetHint(int series, Hint* hint)
{
    if (!hint || IsChanged()) {
        return false;
    }
    Series data;
    if (!GetSeries(series, data)) {
        return false;
    }
    hintStale = false;
    const double x = hint->dataX;
    if (std::isnan(x)) {
        return false;
    }
    if (x < domain.min || x > domain.max) {
        hint->text = OutOfRangeText(series);
        hint->valid = false;
        return true;
    }
    const double position = (x - data.start + data.step * 0.5) / data.step;
    if (!IsFinite(data.step) || data.step == 0.0 || !IsFinite(position)) {
        // No sample can be named: the hint stays not valid, as for an index outside the series.
        hint->x = x;
        hint->y = 0.0;
        hint->valid = false;
        return true;
    }
    const int index = SaturateFloor(position);
    hint->x = snap ? data.start + index * data.step : x;
    if (index < 0 || index >= data.count || !data.values) {
        hint->y = 0.0;
        hint->valid = false;
    } else {
        hint->y = data.values[index];
        hint->index = index;
        hint->valid = true;
    }
    return true;
}

bool GlyphPlotData::GetGlyphs(double, double, int, int* count, const GlyphRecord** records)
{
    if (count) {
        *count = 0;
    }
    if (records) {
        *records = nullptr;
    }
    return false;
}

} // namespace MGraph1
