#include "chartdraw/graticule.h"
#include "sdk/chartchannelsettings.h"

#include "foundation/hsvcolor.h"
#include "foundation/prefixedunit.h"

#include <algorithm>
#include <cmath>

namespace ChartDraw {
namespace {

// Black stencil pixels take the brush colour; white ones leave the target.
inline constexpr DWORD kStencilRop = 0x00B8074A;

void Fill(HDC dc, LONG left, LONG top, LONG right, LONG bottom, COLORREF colour)
{
    if (right <= left || bottom <= top) {
        return;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT r{left, top, right, bottom};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void Line(HDC dc, LONG fromX, LONG fromY, LONG toX, LONG toY, int width, COLORREF colour)
{
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, fromX, fromY, nullptr);
    LineTo(dc, toX, toY);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void HorizontalLine(HDC dc, LONG fromX, LONG toX, LONG y, COLORREF colour) { Line(dc, fromX, y, toX, y, 1, colour); }

// Calls draw(x) for x = floor(first + k * step + 0.5) - originX, k = 0, 1, ..., inside [fromX, toX); true when
// it was called at all.
template <class Draw>
bool ForEachColumn(LONG fromX, LONG toX, LONG originX, double first, double step, Draw draw)
{
    bool drawn = false;
    for (int k = 0;; ++k) {
        const LONG x = static_cast<LONG>(std::floor(first + k * step + 0.5)) - originX;
        if (x >= toX) {
            break;
        }
        if (x >= fromX) {
            draw(x);
            drawn = true;
        }
    }
    return drawn;
}

} // namespace

GraticuleDrawer::GraticuleDrawer(LONG, LONG, DWORD graticuleFlags, COLORREF gridColour, LONG, LONG channelIndex,
                                 DWORD subSelectorValue)
    : DrawerBase(kKindGraticule, channelIndex, subSelectorValue, kNoAlternateChannel, kNoAlternateSelector),
      gridColour_(gridColour), graticuleFlags_(graticuleFlags)
{
}

GraticuleDrawer::GraticuleDrawer(const GraticuleDrawer& other)
    : DrawerBase(other), gridColour_(other.gridColour_), graticuleFlags_(other.graticuleFlags_),
      scaleLane_(other.scaleLane_),
      markColour_(other.markColour_), givenScale_(other.givenScale_), givenOffset_(other.givenOffset_),
      labelWidth_(other.labelWidth_), settings_(other.settings_), divisions_(other.divisions_),
      columnStencilChoice_(other.columnStencilChoice_),
      showGrid_(other.showGrid_), showLabels_(other.showLabels_)
{
}

GraticuleDrawer::~GraticuleDrawer() { FreeStencils(); }

void GraticuleDrawer::FreeStencils()
{
    for (HBITMAP& stencil : stencils_) {
        if (stencil) {
            DeleteObject(stencil);
            stencil = nullptr;
        }
    }
}

HDC GraticuleDrawer::StencilDc() const { return DrawPreTriggerBackground::SharedDc(); }

HRESULT GraticuleDrawer::SetDataSource(LONG reserved, IUnknown* source)
{
    DrawerBase::SetDataSource(reserved, source);
    baseTick_ = 0;
    if (Services()) {
        ApplyLayout();
    }
    return S_OK;
}

HRESULT GraticuleDrawer::SetRect(LONG index, const RECT* rect)
{
    DrawerBase::SetRect(index, rect);
    const int height = lane.bottom - lane.top;
    if (height > 0 && height != stencilHeight_) {
        stencilHeight_ = height;
        RebuildStencils();
    }
    if (Services()) {
        ApplyLayout();
    }
    return S_OK;
}

HRESULT GraticuleDrawer::GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG)
{
    if (flags) *flags = 0x80000000;
    if (left) *left = 0;
    if (right) *right = 0;
    return S_OK;
}

HRESULT GraticuleDrawer::OnScaleChanged(LONG laneIndex, LONG, const double scale[2], IUnknown* source)
{
    if (laneIndex != scaleLane_) {
        return S_FALSE;
    }
    cachedRecord_ = -1;
    if (scale) {
        givenScale_ = scale[0];
        givenOffset_ = scale[1];
    }
    platform::ComPtr<IScaleDivisions> divisions;
    if (source && SUCCEEDED(source->QueryInterface(IID_IScaleDivisions, divisions.OutVoid())) && divisions) {
        RecomputeDivisions(divisions.Get(), givenScale_, givenOffset_);
    }
    return S_OK;
}

HRESULT GraticuleDrawer::OnNewBlock(DWORD)
{
    cachedRecord_ = -1;
    if (sampling && DataSource()) {
        DataSource()->GetBaseTick(0, &baseTick_);
    }
    return S_OK;
}

HRESULT GraticuleDrawer::OnLayoutChanged(LONG)
{
    if (!preTrigger_) {
        preTrigger_ = std::make_unique<DrawPreTriggerBackground>();
        preTrigger_->Build(0, lane.bottom - lane.top);
    }
    return S_OK;
}

HRESULT GraticuleDrawer::SetDrawerServices(IDrawerDataPane* services)
{
    DrawerBase::SetDrawerServices(services);
    if (services) {
        ApplyLayout();
    }
    return S_OK;
}

HRESULT GraticuleDrawer::ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG)
{
    platform::ComPtr<IChartGridOptions> grid;
    if (settings && SUCCEEDED(settings->QueryInterface(IID_IChartGridOptions, grid.OutVoid())) && grid) {
        DWORD choice = columnStencilChoice_;
        COLORREF colour = gridColour_;
        WORD show = showGrid_ ? 1 : 0;
        if (SUCCEEDED(grid->GetGrid(&choice, &colour, &show))) {
            columnStencilChoice_ = choice;
            gridColour_ = colour;
            showGrid_ = show != 0;
        }
        WORD labels = showLabels_ ? 1 : 0;
        if (SUCCEEDED(grid->GetShowLabels(&labels)) && (labels != 0) != showLabels_) {
            showLabels_ = labels != 0;
            ApplyLayout();
        }
    }
    platform::ComPtr<IChartLevelSettings> levels;
    if (!displaySettings ||
        FAILED(displaySettings->QueryInterface(IID_IChartLevelSettings, levels.OutVoid())) || !levels) {
        return S_OK;
    }
    for (LONG index : {1, 2}) {
        const DWORD setFlag = index == 1 ? GraticuleSettings::kLevel1 : GraticuleSettings::kLevel2;
        const DWORD lineFlag = index == 1 ? GraticuleSettings::kLine1 : GraticuleSettings::kLine2;
        COLORREF& lineColour = index == 1 ? settings_.line1 : settings_.line2;
        WORD set = 0;
        WORD line = 0;
        COLORREF colour = lineColour;
        if (SUCCEEDED(levels->GetLevelLine(index, &set, &line, &colour))) {
            settings_.flags = (settings_.flags & ~(setFlag | lineFlag)) | (set ? setFlag : 0) | (line ? lineFlag : 0);
            lineColour = colour;
        }
        double& value = index == 1 ? settings_.level1 : settings_.level2;
        double read = value;
        BSTR unit = nullptr;
        BSTR note = nullptr;
        if (SUCCEEDED(levels->GetLevelValue(index, &read, &unit, &note))) {
            value = read;
            settings_.texts[index - 1] = KVO::String(unit);
            settings_.texts[index + 1] = KVO::String(note);
        }
        SysFreeString(unit);
        SysFreeString(note);
    }
    WORD on[3]{};
    COLORREF colours[3]{settings_.below, settings_.band, settings_.above};
    if (SUCCEEDED(levels->GetLevelFills(on, colours))) {
        const DWORD fillFlags[3]{GraticuleSettings::kFillBelow, GraticuleSettings::kFillBetween,
                                 GraticuleSettings::kFillAbove};
        for (int i = 0; i < 3; ++i) {
            settings_.flags = (settings_.flags & ~fillFlags[i]) | (on[i] ? fillFlags[i] : 0);
        }
        settings_.below = colours[0];
        settings_.band = colours[1];
        settings_.above = colours[2];
    }
    return S_OK;
}

void GraticuleDrawer::ApplyLayout()
{
    IDrawerDataPane* services = Services();
    DWORD optionWord = 0;
    if (!services || FAILED(services->GetChannelWord(paneIndex, &optionWord)) || !DataSource()) {
        return;
    }
    labelWidth_ = showLabels_ ? 2 : 0;
    if (optionWord) {
        if (MGraph1::ITickGenerator* generator = DivisionSource()) {
            generator->MeasureLabels(10, 0, labelFont_, &labelWidth_);
        }
    }
    double sx = 1.0;
    double sy = 1.0;
    services->GetDeviceScale(0, &sx, &sy);
    IChartDataSource* source = DataSource();
    source->SetLayoutValue(0, 0);
    source->SetLayoutValue(0x80000001, static_cast<LONG>(std::trunc(7 * sx)));
    source->SetLayoutValue(0x80000002, labelWidth_ + 5);
    source->SetLayoutValue(showLabels_ ? 4 : 3, 0);
}

MGraph1::ITickGenerator* GraticuleDrawer::DivisionSource()
{
    if (!divisionSource_) {
        MGraph1::CreateTickGenerator(divisionSource_.Out());
    }
    return divisionSource_.Get();
}

void GraticuleDrawer::RecomputeDivisions(IScaleDivisions* source, double scale, double offset)
{
    divisions_.clear();
    lowEdgeIn_ = highEdgeIn_ = 0;
    LONG count = 0;
    if (FAILED(source->GetCount(&count)) || count <= 0) {
        PaintStencilRows();
        return;
    }
    std::vector<LONG> rows(static_cast<std::size_t>(count));
    std::vector<LONG> kinds(static_cast<std::size_t>(count));
    LONG written = 0;
    if (SUCCEEDED(source->GetDivisions(count, rows.data(), kinds.data(), &written))) {
        for (LONG i = 0; i < std::min(written, count); ++i) {
            divisions_.emplace_back(rows[i], kinds[i]);
        }
    }
    double low = 0;
    double high = 0;
    const LONG height = lane.bottom - lane.top;
    if (SUCCEEDED(source->GetRange(&low, &high))) {
        double lowRow = (low + offset) * scale;
        double highRow = (high + offset) * scale;
        if (lowRow > highRow) {
            std::swap(lowRow, highRow); // rows grow downwards: the top edge is the smaller row
        }
        if (lowRow > 0 && lowRow < height) {
            lowEdgeIn_ = 0xFFFF;
            lowEdge_ = static_cast<LONG>(lowRow);
        }
        if (highRow > 0 && highRow < height) {
            highEdgeIn_ = 0xFFFF;
            highEdge_ = static_cast<LONG>(highRow);
        }
    }
    PaintStencilRows();
}

void GraticuleDrawer::RebuildStencils()
{
    FreeStencils();
    const int height = stencilHeight_;
    HDC dc = StencilDc();
    for (std::size_t i = 0; i < stencils_.size(); ++i) {
        stencils_[i] = CreateBitmap(1, height, 1, 1, nullptr);
        HGDIOBJ previous = SelectObject(dc, stencils_[i]);
        const RECT all{0, 0, 1, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(i >= 2 ? BLACK_BRUSH : WHITE_BRUSH)));
        SelectObject(dc, previous);
    }
    PaintStencilRows();
    if (preTrigger_) {
        preTrigger_->Build(0, height);
    }
}

void GraticuleDrawer::PaintStencilRows()
{
    if (!stencils_[0] || !stencils_[1]) {
        return;
    }
    HDC dc = StencilDc();
    for (int i = 0; i < 2; ++i) {
        HGDIOBJ previous = SelectObject(dc, stencils_[i]);
        const RECT all{0, 0, 1, stencilHeight_};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        for (const auto& [row, kind] : divisions_) {
            if ((kind == 2) == (i == 1) && row >= 0 && row < stencilHeight_) {
                SetPixel(dc, 0, row, RGB(0, 0, 0));
            }
        }
        SelectObject(dc, previous);
    }
}

void GraticuleDrawer::DrawRows(HDC dc, LONG fromX, LONG toX, bool major)
{
    HBITMAP stencil = stencils_[major ? 1 : 0];
    if (!stencil) {
        return;
    }
    HDC memory = StencilDc();
    HGDIOBJ previous = SelectObject(memory, stencil);
    for (LONG x = fromX; x < toX; ++x) {
        BitBlt(dc, x, 0, 1, stencilHeight_, memory, 0, 0, kStencilRop);
    }
    SelectObject(memory, previous);
}

bool GraticuleDrawer::DrawColumns(HDC dc, LONG fromX, LONG toX, LONG originX, double first, double step, bool)
{
    HBITMAP stencil = columnStencilChoice_ ? stencils_[0] : stencils_[2];
    if (!stencil || !(step > 0)) {
        return false;
    }
    HDC memory = StencilDc();
    HGDIOBJ previous = SelectObject(memory, stencil);
    const bool drawn = ForEachColumn(fromX, toX, originX, first, step,
                                     [&](LONG x) { BitBlt(dc, x, 0, 1, stencilHeight_, memory, 0, 0, kStencilRop); });
    SelectObject(memory, previous);
    return drawn;
}

HRESULT GraticuleDrawer::Draw(owl::TDC& target, LONGLONG from, LONGLONG to, LONGLONG offset, LONG record, LONG x,
                              const RECT& clip, DWORD, const TimeDivisions* divisions, LONG)
{
    HDC dc = target;
    const LONG height = lane.bottom - lane.top;
    const LONG right = clip.right;
    IDrawerDataPane* services = Services();
    // 1. Is the lane there?
    bool absent = (graticuleFlags_ & (kNoRows | kNoColumns)) == (kNoRows | kNoColumns);
    if (!absent && !(graticuleFlags_ & kNoChannelFlag) && DataServer()) {
        WORD flag = 0;
        DataServer()->GetChannelFlag(RequestFlags(), record, LaneChannel(), &flag);
        absent = flag == 0;
    }
    // 2. Background by state.
    if (!(graticuleFlags_ & kNoBackground)) {
        COLORREF colour = RGB(255, 255, 255);
        if (absent) {
            colour = GetSysColor(COLOR_3DLIGHT);
        } else if (sampling && !startFlag && record == currentRecord) {
            colour = kSamplingLane;
        } else if (services) {
            services->GetBackgroundColour(&colour);
        }
        Fill(dc, x, 0, right, height, colour);
    }
    // 3. The value mapping of this record.
    if (option && record != cachedRecord_ && services) {
        double range[2]{0, 0};
        LONG r[5]{};
        if (SUCCEEDED(services->QueryLaneUnits(paneIndex, record, range, &r[0], &r[1], &r[2], &r[3], &r[4]))) {
            const double span = range[1] - range[0];
            yScale_ = span != 0 ? -height / span : 0.0;
            yOffset_ = -range[1];
            if (yScale_ != 0) {
                yOffset_ = givenOffset_ / yScale_ + yOffset_;
                yScale_ *= givenScale_;
            }
            if (MGraph1::ITickGenerator* generator = DivisionSource()) {
                generator->SetScale(range[0], range[1], yScale_, yOffset_, height);
                RecomputeDivisions(generator, yScale_, yOffset_);
                ApplyLayout(); // new divisions may need another label width: the label area follows them
            }
        }
        cachedRecord_ = record;
    }
    // 4. Threshold bands.
    const bool has1 = !std::isnan(settings_.level1);
    const bool has2 = !std::isnan(settings_.level2);
    LONG row1 = 0;
    LONG row2 = 0;
    if (has1 || has2) {
        auto rowOf = [&](double level, const KVO::String& unit) {
            if (unit.Length() > 1) {
                level /= KVO::SIPrefixMultiplier(unit.c_str()[0]);
            }
            return static_cast<LONG>(std::clamp((yOffset_ + level) * yScale_, -16000.0, 16000.0));
        };
        row1 = has1 ? rowOf(settings_.level1, settings_.texts[0]) : 0;
        row2 = has2 ? rowOf(settings_.level2, settings_.texts[1]) : 0;
        LONG top = has1 ? row1 : row2;
        LONG bottom = has2 ? row2 : row1;
        if (top > bottom) {
            std::swap(top, bottom);
        }
        const DWORD f = settings_.flags;
        if ((f & 0x70) == 0x70) {
            Fill(dc, x, std::max<LONG>(top, 0), right, std::min(bottom, height), settings_.band);
        }
        if (f & GraticuleSettings::kFillBelow) {
            Fill(dc, x, 0, right, std::min(top, height), settings_.below);
        }
        if (f & GraticuleSettings::kFillAbove) {
            Fill(dc, x, std::max<LONG>(bottom, 0), right, height, settings_.above);
        }
    }
    // 5. Pre-trigger hatch while sampling the current record.
    if (preTrigger_ && (startArgument & 0x80000000u) && record == currentRecord && sampling) {
        preTrigger_->Draw(dc, from, x, right);
    }
    // 6. Outside the value range.
    if (!(graticuleFlags_ & kNoColumns)) {
        if (lowEdgeIn_) {
            Fill(dc, x, 0, right, lowEdge_, kOutOfRange);
        }
        if (highEdgeIn_) {
            Fill(dc, x, highEdge_, right, height, kOutOfRange);
        }
    }
    // 7. Grid and level lines.
    if (to > from && showGrid_ && !absent) {
        const COLORREF first = KVO::DesaturateColor(gridColour_, columnStencilChoice_ == 1 ? -0.3 : 0.15);
        KVO::HSVColor hsv(first);
        hsv.ComputeHSV();
        const COLORREF second = KVO::DesaturateColor(first, std::min(hsv.value / 1.6, 0.35));
        const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
        const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
        for (int pass = 0; pass < 2; ++pass) {
            const bool major = pass == 1;
            COLORREF colour = major ? first : second;
            if (services) {
                services->GetContrastColour(colour, &colour);
            }
            HBRUSH brush = CreateSolidBrush(colour);
            HGDIOBJ previous = SelectObject(dc, brush);
            if (!columnStencilChoice_ && !(graticuleFlags_ & kNoRows)) {
                DrawRows(dc, x, right, major);
            }
            if (!(graticuleFlags_ & kNoColumns) && divisions && divisions->minorStep > 0) {
                const double step = major ? divisions->minorStep * divisions->minorPerMajor : divisions->minorStep;
                double start = major ? divisions->firstMajor : divisions->firstMinor;
                if (start < x) {
                    start += std::floor((x - start) / step + 0.5) * step;
                }
                DrawColumns(dc, x, right, 0, start, step, major);
            }
            SelectObject(dc, previous);
            DeleteObject(brush);
        }
        SetTextColor(dc, text);
        SetBkColor(dc, back);
        const DWORD f = settings_.flags;
        if ((f & 0x21) == 0x21) {
            HorizontalLine(dc, x, right, row1, settings_.line1);
        }
        if ((f & 0x42) == 0x42) {
            HorizontalLine(dc, x, right, row2, settings_.line2);
        }
    }
    // 8. The record's start. The offset counts ticks, not pixels: the data source places tick 0 of the record.
    double recordStart = 0;
    if (offset < 0 && DataSource() && SUCCEEDED(DataSource()->TickToX(0x80000000, record, 0, &recordStart))) {
        DWORD printWord = 0;
        double perMm = 0;
        if (services && SUCCEEDED(services->GetPrintWord(0, &printWord)) && printWord) {
            services->GetPixelsPerMmX(0, 0, &perMm);
        }
        // On paper the marks are black and as wide as a fraction of a millimetre.
        auto paperWidth = [&](double mm) { return std::max(1, static_cast<int>(std::trunc(perMm * mm + 0.5))); };
        auto mark = [&](LONG at, int width, COLORREF colour) {
            if (at >= clip.left && at < right) {
                Line(dc, at, 0, at, height - 2, width, colour);
            }
        };
        const LONG startX = static_cast<LONG>(std::clamp(std::floor(recordStart), -1e9, 1e9));
        mark(startX, printWord ? paperWidth(0.4) : 2, printWord ? RGB(0, 0, 0) : markColour_);
        // A selected lane marks the start once more at the left edge of its label area: the label width + 5
        // pixels that the data source was told of, just before the record's data.
        if (option && LaneSelected()) {
            mark(startX - (labelWidth_ + 5), printWord ? paperWidth(0.3) : 1, RGB(0, 0, 0));
        }
    }
    return S_OK;
}

LONG GraticuleDrawer::LaneChannel() const
{
    LONG pair[2]{kNoAlternateChannel, static_cast<LONG>(kNoAlternateSelector)};
    if (IDrawerDataPane* services = Services()) {
        services->GetLaneSelectors(paneIndex, 0, pair);
    }
    return pair[0];
}

bool GraticuleDrawer::LaneSelected() const
{
    platform::ComPtr<IChartChannelSelection> selection;
    if (!DataServer() || FAILED(DataServer()->QueryInterface(IID_IChartChannelSelection, selection.OutVoid())) ||
        !selection) {
        return false;
    }
    return selection->IsChannelSelected(LaneChannel()) == S_OK;
}

HRESULT GraticuleDrawer::Clone(DWORD flags, IChartRecordDrawer** copy)
{
    if (!copy) {
        return S_OK;
    }
    if (!(flags & (1u << 30))) {
        return CloneAs(*this, copy);
    }
    *copy = nullptr;
    try {
        auto* made = new MetafileGraticuleDrawer(*this);
        made->AddRef();
        *copy = made;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

MetafileGraticuleDrawer::MetafileGraticuleDrawer(const GraticuleDrawer& other) : GraticuleDrawer(other)
{
    graticuleFlags_ |= kNoBackground;
}

HRESULT MetafileGraticuleDrawer::Clone(DWORD, IChartRecordDrawer** copy)
{
    if (!copy) {
        return S_OK;
    }
    return CloneAs(*this, copy);
}

HPEN MetafileGraticuleDrawer::GridPen(HDC dc, bool major) const
{
    double perMm = 3.7795276158179276;
    if (IDrawerDataPane* services = Services()) {
        services->GetPixelsPerMmX(0, 0, &perMm);
    }
    const DWORD width = static_cast<DWORD>(std::trunc((major ? 0.3 : 0.2) * perMm + 0.5));
    // The device may not show every colour: the pen takes the nearest one it has.
    const COLORREF nearest = GetNearestColor(dc, gridColour_);
    const LOGBRUSH brush{BS_SOLID, nearest == CLR_INVALID ? gridColour_ : nearest, 0};
    return ExtCreatePen(PS_GEOMETRIC | PS_DOT, std::max<DWORD>(width, 1), &brush, 0, nullptr);
}

void MetafileGraticuleDrawer::DrawRows(HDC dc, LONG fromX, LONG toX, bool major)
{
    HPEN pen = GridPen(dc, major);
    HGDIOBJ previous = SelectObject(dc, pen);
    for (const auto& [row, kind] : DivisionRows()) {
        if ((kind == 2) == major && row >= 0) {
            MoveToEx(dc, fromX, row, nullptr);
            LineTo(dc, toX, row);
        }
    }
    SelectObject(dc, previous);
    DeleteObject(pen);
}

bool MetafileGraticuleDrawer::DrawColumns(HDC dc, LONG fromX, LONG toX, LONG originX, double first, double step,
                                          bool major)
{
    if (!(step > 0)) {
        return false;
    }
    HPEN pen = GridPen(dc, major);
    HGDIOBJ previous = SelectObject(dc, pen);
    const bool drawn = ForEachColumn(fromX, toX, originX, first, step, [&](LONG x) {
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, lane.bottom - lane.top);
    });
    SelectObject(dc, previous);
    DeleteObject(pen);
    return drawn;
}

} // namespace ChartDraw
