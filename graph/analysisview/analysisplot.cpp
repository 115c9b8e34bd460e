#include "graph/analysisview/analysisplot.h"

#include "document/chancalc.h"
#include "document/cxdoc.h"
#include "document/settingids.h"
#include "foundation/stringstream.h"
#include "frame/channeltoken.h"
#include "frame/hostservices.h"
#include "graph/mgraph1/glyphplotter.h"
#include "graph/mgraph1/xycplotter.h"
#include "graph/mgraph1/ycplotter.h"
#include "platform/owl/dc.h"
#include "sdk/hostservices.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

namespace Id = CX::Doc::SettingId;

// Two axis ends count as the same when they differ only by rounding.
bool Near(double a, double b)
{
    return std::fabs(a - b) <= 1e-8 * std::max(std::fabs(a), std::fabs(b)) ||
           (std::fabs(a) < 1e-30 && std::fabs(b) < 1e-30);
}

bool Near(std::pair<double, double> a, std::pair<double, double> b) { return Near(a.first, b.first) && Near(a.second, b.second); }

// A range worth showing: both ends finite and the first below the second.
bool Usable(double low, double high) { return std::isfinite(low) && std::isfinite(high) && low < high; }

} // namespace

AnalysisPlot::AnalysisPlot(owl::TWindow* parent, CX::Doc::CXDoc* document)
    : owl::TWindow(parent, u"Analysis Plot"), document_(document)
{
    Attr.Style |= WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    Attr.ExStyle |= WS_EX_CLIENTEDGE;
    if (document_) {
        overlays_ = std::make_unique<CX::ParamIdSet>(*document_);
    }
    graph_ = new MGraph1::Graph2DWindow(this);
    for (const std::int32_t code : CX::ParamIdSet::kMarkerCodes) {
        graph_->Menu().AddItem(kFirstMarkerCookie + code, this, true, true, false, KVO::String());
    }
    graph_->contextMenu = true;
    graph_->SetYTitle(KVO::String(u"???"));
    graph_->SetYUnits(KVO::String(u"???"));
    firstRescale_ = true;
}

AnalysisPlot::~AnalysisPlot()
{
    if (graph_) {
        graph_->RemoveChangeReceiver(this);
        graph_->ClearPlotters();
        graph_->ClearAnnotations();
        graph_->Destroy();
        delete graph_;
    }
}

void AnalysisPlot::BuildPlotters(MGraph1::Graph2DDrawer& drawer)
{
    using namespace MGraph1;
    drawer.ClearPlotters();
    drawer.ClearAnnotations();
    auto* cross = new BasicAnnotation;
    cross->SetSource(static_cast<YCPlotDataEx*>(this), 0, false);
    cross->rasterOperation = R2_NOT;
    cross->crossHalfSize = 5;
    drawer.AddAnnotation(cross, true);

    auto* area = new AreaGlyphPlotter;
    area->SetPlotData(static_cast<GlyphPlotData*>(this), 4, false);
    area->SetSeriesData(static_cast<YCPlotDataEx*>(this), 0);
    drawer.AddPlotter(area, true);

    auto* lines = new GlyphPlotter;
    lines->SetPlotData(static_cast<GlyphPlotData*>(this), 3, false);
    drawer.AddPlotter(lines, true);

    for (int trace = 0; trace < 2; ++trace) {
        auto* plotter = new YCPlotterEx;
        plotter->SetPlotData(static_cast<YCPlotDataEx*>(this), trace, false);
        plotter->SetColour(kTraceLineColour);
        plotter->SetLineWidth(2.0f);
        drawer.AddPlotter(plotter, true);
    }

    auto* slope = new GlyphPlotter;
    slope->SetPlotData(static_cast<GlyphPlotData*>(this), 5, false);
    slope->SetLineWidth(2.0f);
    drawer.AddPlotter(slope, true);

    auto* curve = new XYCPlotter;
    curve->SetPlotData(static_cast<XYCPlotData*>(this), 2, false);
    curve->SetLineWidth(2.0f);
    drawer.AddPlotter(curve, true);
}

void AnalysisPlot::ReadUnits()
{
    const KVO::PrefixedUnit unit = document_ ? document_->SourceChannelUnits() : KVO::PrefixedUnit();
    unitText_ = KVO::String(unit.Text());
    valueScale_ = unit.Prefix() ? 1.0 / KVO::SIPrefixMultiplier(unit.Prefix()) : 1.0;
    if (!std::isfinite(valueScale_) || valueScale_ == 0.0) {
        valueScale_ = 1.0;
    }
}

void AnalysisPlot::SetupWindow()
{
    owl::TWindow::SetupWindow();
    if (graph_ && document_) {
        BuildPlotters(*graph_);
        graph_->SetXTitle(KVO::String(u"s"));
        graph_->SetXUnits(KVO::String(u"Time"));
        graph_->SetXAxisOption(true);
        graph_->SetYAxisOption(true);

        CX::Doc::SettingsSet& settings = document_->Settings();
        firstRescale_ = false;
        double limits[4] = {settings.GetDouble(Id::kPlotTimeMin), settings.GetDouble(Id::kPlotTimeMax),
                            settings.GetDouble(Id::kPlotValueMin), settings.GetDouble(Id::kPlotValueMax)};
        if (std::all_of(std::begin(limits), std::end(limits), [](double v) { return v == 0.0; })) {
            const double defaults[4] = {-1.0, 1.0, -1.0, 1.0};
            for (int i = 0; i < 4; ++i) {
                limits[i] = defaults[i];
                settings.SetDouble(Id::kPlotTimeMin + i, defaults[i]);
            }
            firstRescale_ = true;
        }
        graph_->SetXLimits(-DBL_MAX, DBL_MAX);
        graph_->SetXHomeExtent(-1.0, 1.0);
        graph_->SetDomain(limits[0], limits[1]);
        graph_->SetYLimits(-DBL_MAX, DBL_MAX);
        graph_->SetYHomeExtent(-1.0, 1.0);
        ReadUnits();
        // The settings hold displayed values; the graph keeps stored ones and its axis shows them scaled.
        graph_->SetRange(limits[2] / valueScale_, limits[3] / valueScale_);
        graph_->AddChangeReceiver(this);
        graph_->SetXAxisFlag0x200();
        graph_->SetYAxisFlag0x200();
    }
    ApplyHostColours();
}

void AnalysisPlot::Redraw()
{
    if (!graph_) {
        return;
    }
    Rescale();
    YCPlotDataEx::SetChanged(true);
    if (graph_->GetHandle()) {
        ::InvalidateRect(graph_->GetHandle(), nullptr, false);
    }
    if (GetHandle()) {
        Invalidate(true);
    }
}

void AnalysisPlot::Rescale()
{
    if (!document_) {
        return;
    }
    MGraph1::Graph2DDrawer& drawer = *graph_;
    // The value axis is captioned with the source channel's title as the host document gives it.
    const std::int32_t channel = document_->Settings().GetLong(Id::kSourceChannel);
    drawer.SetYUnits(ExtLib::GetChannelName(document_->HostDocument(), channel));
    ReadUnits();
    const double pair[2] = {valueScale_, 0.0};
    drawer.yUnitFactor = valueScale_;
    drawer.SetYUnitTransform(pair);
    drawer.SetYAxisScaling(pair);
    drawer.SetYTitle(unitText_);

    const CX::Doc::CycleDetector* results = document_->Results();
    if (!results || !results->RangesValid()) {
        return;
    }
    const double lead = results->LeadMinimum();
    const double end = results->EndSpanMaximum();
    const double margin = (end - lead) * 0.2;
    const std::pair<double, double> time{lead - margin, end + margin};
    if (Usable(time.first, time.second)) {
        const auto home = drawer.GetXHomeExtent();
        const bool follows = Near(drawer.GetDomain(), home);
        if (time != home) {
            drawer.SetXHomeExtent(time.first, time.second);
            if (follows) {
                drawer.SetDomain(time.first, time.second);
            }
        }
    }
    const double low = results->PlateauMinimum() * valueScale_;
    const double high = results->PlateauMaximum() * valueScale_;
    const std::pair<double, double> value{low - 0.1 * (high - low), high + 0.1 * (high - low)};
    // The store starts its value range at the largest doubles: with no value computed it is no range.
    if (!Usable(low, high) || !Usable(value.first, value.second)) {
        return;
    }
    // In displayed values, as the settings keep them; the graph takes stored values.
    const auto stored = [this](std::pair<double, double> v) { return std::make_pair(v.first / valueScale_, v.second / valueScale_); };
    const auto home = drawer.GetYHomeExtent();
    const bool follows = Near(drawer.GetRange(), home);
    if (stored(value) != home || firstRescale_) {
        drawer.SetYHomeExtent(stored(value).first, stored(value).second);
    }
    if (follows || firstRescale_) {
        drawer.SetRange(stored(value).first, stored(value).second);
    }
    firstRescale_ = false;
}

void AnalysisPlot::ApplyHostColours()
{
    if (!graph_ || !document_) {
        return;
    }
    platform::ComPtr<IDisplayColours> colours;
    if (IApplicationService* application = CX::Host::GetApplicationService()) {
        application->QueryInterface(IID_IDisplayColours, colours.OutVoid());
    }
    MGraph1::DisplayAttributes attributes;
    attributes.source = document_->HostDocument();
    attributes.colours = colours.Get();
    // Without the host's attributes the graph keeps the look it has.
    if (MGraph1::ReadDisplayAttributes(attributes)) {
        MGraph1::GraphDisplaySettings info;
        info.first = 1;
        info.second = 175;
        info.gridColour = attributes.colour2;
        info.dots = static_cast<std::int32_t>(attributes.value2);
        info.shown = attributes.value3 != 0;
        graph_->SetDisplayInfo(info);
    }
    Redraw();
}

void AnalysisPlot::DrawToDC(HDC target, HDC attribute, const RECT& page)
{
    MGraph1::Graph2DDrawer drawer;
    const HDC measuring = attribute ? attribute : target;
    // The axis strips keep their screen size on the measuring device (a printer page has many more pixels).
    if (const HDC screen = GetDC(nullptr)) {
        const int screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
        const int deviceDpi = GetDeviceCaps(measuring, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        if (screenDpi > 0 && deviceDpi > 0) {
            drawer.leftMargin = MulDiv(drawer.leftMargin, deviceDpi, screenDpi);
            drawer.bottomMargin = MulDiv(drawer.bottomMargin, deviceDpi, screenDpi);
        }
    }
    if (graph_) {
        const double y[2] = {graph_->yUnitFactor, 0.0};
        const double x[2] = {graph_->xUnitFactor, 0.0};
        drawer.yUnitFactor = y[0];
        drawer.xUnitFactor = x[0];
        drawer.SetYUnitTransform(y);
        drawer.SetYAxisScaling(y);
        drawer.SetXUnitTransform(x);
        drawer.SetXAxisScaling(x);
        const auto domain = graph_->GetDomain();
        const auto range = graph_->GetRange();
        drawer.SetDomain(domain.first, domain.second);
        drawer.SetRange(range.first, range.second);
    }
    if (page.right - page.left >= 0 && page.bottom - page.top >= 0) {
        drawer.SetRect(page);
    }
    if (graph_) {
        drawer.SetXUnits(graph_->GetXUnits());
        drawer.SetXAxisOption(true);
        drawer.SetXTitle(graph_->GetXTitle());
        drawer.SetYUnits(graph_->GetYUnits());
        drawer.SetYAxisOption(true);
        drawer.SetYTitle(graph_->GetYTitle());
        drawer.SetDisplayInfo(graph_->GetDisplayInfo());
    }
    BuildPlotters(drawer);
    drawer.SetMarkersProperty(0);
    drawer.PaintDirect(target, measuring, page);
}

bool AnalysisPlot::GetSeries(int series, MGraph1::YCPlotData::Series& out)
{
    if (!overlays_) {
        return false;
    }
    const CX::ParamIdSet::TraceWindow window = overlays_->GetTraceWindow(series);
    out.count = window.count;
    out.start = window.start;
    out.step = window.interval;
    out.values = window.samples;
    out.colours = nullptr;
    out.colourAndStyle = window.colour;
    YCPlotDataEx::ClearChanged();
    return true;
}

bool AnalysisPlot::GetSeries(int, MGraph1::XYCPlotData::Series& out)
{
    if (!overlays_) {
        return false;
    }
    const CX::ParamIdSet::TauCurve curve = overlays_->GetTauCurve();
    out.count = curve.count;
    out.indexBase = 0;
    out.x = curve.x;
    out.y = curve.y;
    out.colours = nullptr;
    out.colour = curve.colour;
    out.style = MGraph1::kXYLines;
    return true;
}

bool AnalysisPlot::GetGlyphs(double, double, int series, int* count, const MGraph1::GlyphRecord** records)
{
    glyphs_.clear();
    if (overlays_) {
        for (const CX::ParamIdSet::Marker& marker : overlays_->GetMarkers(series)) {
            MGraph1::GlyphRecord glyph;
            glyph.x = marker.x;
            glyph.y = marker.y;
            glyph.x2 = marker.x2;
            glyph.y2 = marker.y2;
            glyph.colour = marker.colour;
            glyph.label = marker.label;
            glyph.kind = marker.kind + 1;
            glyphs_.push_back(std::move(glyph));
        }
    }
    if (count) {
        *count = static_cast<int>(glyphs_.size());
    }
    if (records) {
        *records = glyphs_.empty() ? nullptr : glyphs_.data();
    }
    return true;
}

bool AnalysisPlot::GetHint(int series, MGraph1::Hint* hint)
{
    if (!YCPlotDataEx::GetHint(series, hint)) {
        return false;
    }
    if (hint->valid) {
        const std::int32_t channel = document_ ? document_->Settings().GetLong(Id::kSourceChannel) : 0;
        KVO::OStringStream text;
        text << u"Channel " << static_cast<long long>(channel) + 1 << u": ";
        text.setf(std::ios::showpoint);
        text.precision(4);
        text << hint->x << u" s, " << hint->y * valueScale_ << u' ' << unitText_;
        readout_ = text.str();
    } else {
        readout_ = KVO::String();
    }
    if (GetHandle()) {
        Invalidate(true);
    }
    return true;
}

bool AnalysisPlot::OnMessage(MessSys::Message& message)
{
    if (!document_ || !graph_) {
        return false;
    }
    CX::Doc::SettingsSet& settings = document_->Settings();
    if (dynamic_cast<MGraph1::MsgGraph2DDrawerOnDomainChanged*>(&message)) {
        const auto domain = graph_->GetDomain();
        settings.SetDouble(Id::kPlotTimeMin, domain.first);
        settings.SetDouble(Id::kPlotTimeMax, domain.second);
        return true;
    }
    if (dynamic_cast<MGraph1::MsgGraph2DDrawerOnRangeChanged*>(&message)) {
        const auto range = graph_->GetRange();
        settings.SetDouble(Id::kPlotValueMin, range.first * valueScale_);
        settings.SetDouble(Id::kPlotValueMax, range.second * valueScale_);
        return true;
    }
    if (auto* menu = dynamic_cast<MGraph1::PreDisplayMenuMessage*>(&message)) {
        const std::int32_t code = message.source - kFirstMarkerCookie;
        const std::int32_t switchId = CX::ParamIdSet::SwitchOf(code);
        *menu->look.shown = overlays_->HasParameter(code);
        *menu->look.enabled = true;
        *menu->look.text = overlays_->MarkerLabel(code);
        *menu->look.marked = switchId != 0 && settings.GetBool(switchId);
        return true;
    }
    if (dynamic_cast<MGraph1::OnMenuItemMessage*>(&message)) {
        if (const std::int32_t switchId = CX::ParamIdSet::SwitchOf(message.source - kFirstMarkerCookie)) {
            settings.SetBool(switchId, !settings.GetBool(switchId));
        }
        Redraw();
        return true;
    }
    return false;
}

void AnalysisPlot::EvPaint()
{
    PAINTSTRUCT paint{};
    const HDC window = BeginPaint(GetHandle(), &paint);
    const owl::TRect client = GetClientRect();
    const int width = std::max<int>(client.Width(), 1);
    const HDC memory = CreateCompatibleDC(window);
    const HBITMAP bitmap = CreateCompatibleBitmap(window, width, kReadoutHeight);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    {
        owl::TDC dc(memory);
        owl::TRect strip(0, 0, width, kReadoutHeight);
        Paint(dc, true, strip);
    }
    BitBlt(window, 0, 0, width, kReadoutHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(GetHandle(), &paint);
}

void AnalysisPlot::Paint(owl::TDC& dc, bool, owl::TRect& rect)
{
    const RECT area{0, 0, rect.right, rect.bottom};
    const HBRUSH white = CreateSolidBrush(0xFFFFFF);
    FillRect(dc, &area, white);
    DeleteObject(white);
    const int height = -MulDiv(9, GetDeviceCaps(dc, LOGPIXELSY), 72);
    const HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"MS Shell Dlg");
    const HGDIOBJ previous = SelectObject(dc, font);
    const int mode = SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 2, 2, readout_.c_str(), static_cast<int>(readout_.View().size()));
    SetBkMode(dc, mode);
    SelectObject(dc, previous);
    DeleteObject(font);
}

void AnalysisPlot::EvSize(owl::uint sizeType, const owl::TSize& size)
{
    owl::TWindow::EvSize(sizeType, size);
    if (graph_ && graph_->GetHandle()) {
        const owl::TRect client = GetClientRect();
        ::SetWindowPos(graph_->GetHandle(), nullptr, 0, kReadoutHeight, client.Width(),
                       std::max(0, client.Height() - kReadoutHeight), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        // The drawer follows its window only when told.
        graph_->SetDrawerRect(graph_->GetClientRect(), true);
    }
}
