#include "graph/analysisview/paramidset.h"

#include "document/cxdoc.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "foundation/stringstream.h"
#include "platform/owl/color.h"
#include "sdk/datasource.h"
#include "sdk/sampleenum.h"

#include <algorithm>
#include <cmath>

namespace {

platform::ComPtr<IDataSource> DataSourceOf(IUnknown* hostDocument)
{
    platform::ComPtr<IDataSourceHolder> holder;
    platform::ComPtr<IDataSource> source;
    if (hostDocument && SUCCEEDED(hostDocument->QueryInterface(IID_IDataSourceHolder, holder.OutVoid())) && holder) {
        holder->GetSource(0, source.Out());
    }
    return source;
}

} // namespace

void ChartBuffer::Read(std::vector<float>& samples, std::int32_t start, std::int32_t block)
{
    const std::size_t size = samples.size();
    const std::size_t lead = start < 0 ? static_cast<std::size_t>(-static_cast<std::int64_t>(start)) : 0;
    if (lead >= size) {
        return;
    }
    std::fill(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(lead), 0.0f);
    const platform::ComPtr<IDataSource> source = DataSourceOf(hostDocument_);
    platform::ComPtr<IUnknown> opened;
    platform::ComPtr<IEnumFloatEx> reader;
    const HRESULT result = source ? source->OpenEnum(kReadFlags, channel_, std::max<std::int32_t>(start, 0), block,
                                                     kEndOfBlockTick, 0, opened.Out())
                                  : E_FAIL;
    if (FAILED(result) || result == S_FALSE || !opened ||
        FAILED(opened->QueryInterface(IID_IEnumFloatEx, reader.OutVoid())) || !reader) {
        samples.clear();
        return;
    }
    std::size_t done = lead;
    while (done < size) {
        LONG read = 0;
        const LONG wanted = static_cast<LONG>(std::min<std::size_t>(size - done, 0x10000));
        if (FAILED(reader->Read(wanted, samples.data() + done, &read)) || read <= 0) {
            break;
        }
        done += static_cast<std::size_t>(std::min<LONG>(read, wanted));
    }
    std::fill(samples.begin() + static_cast<std::ptrdiff_t>(done), samples.end(), 0.0f);
}

namespace CX {

using Doc::StoredEvent;
namespace Id = Doc::SettingId;

std::int32_t ParamIdSet::SwitchOf(std::int32_t code)
{
    for (const MarkerCode& marker : kMarkerSwitches) {
        if (marker.code == code) {
            return marker.switchId;
        }
    }
    return 0;
}

std::int32_t ParamIdSet::AnalysisType() const { return document_.Settings().GetInt(Id::kAnalysisType); }

bool ParamIdSet::HasParameter(std::int32_t code) const { return document_.Catalogue().Offers(AnalysisType(), code); }

bool ParamIdSet::IsMarkerShown(const Enum::EventFCalc& event, std::int32_t code, std::int32_t switchId) const
{
    return document_.Settings().GetBool(switchId) && HasParameter(code) &&
           Enum::IsFiniteValue(event.GetValueById(static_cast<std::uint32_t>(code)));
}

KVO::String ParamIdSet::MarkerLabel(std::int32_t code) const
{
    switch (code) {
    case 0:
        return KVO::String(u"Start");
    case 3:
        return KVO::String(u"Peak");
    case 57:
        return KVO::String(u"End");
    default:
        return KVO::String(document_.Catalogue().ShortName(AnalysisType(), code));
    }
}

const StoredEvent& ParamIdSet::CurrentEvent() const
{
    if (Doc::CycleDetector* results = document_.Results()) {
        return results->EventAt(document_.CurrentEvent());
    }
    static const StoredEvent none = [] {
        StoredEvent event;
        event.record.ResetResults();
        return event;
    }();
    return none;
}

double ParamIdSet::SampleInterval(std::int32_t block) const
{
    double interval = 0.0;
    if (const auto source = DataSourceOf(document_.HostDocument())) {
        source->GetRecordTickPeriod(0, block, &interval);
    }
    return interval;
}

ParamIdSet::TraceWindow ParamIdSet::GetTraceWindow(int trace)
{
    TraceWindow window;
    window.colour = trace == 0 ? kTrace0Colour : kTrace1Colour;
    const StoredEvent& stored = CurrentEvent();
    if (stored.block == StoredEvent::kNoBlock) {
        return window;
    }
    const Enum::EventFCalc& event = stored.record;
    std::int32_t start = -1;
    std::int32_t end = -1;
    if (trace == 0) {
        const std::int32_t smaller = std::min(event.stimulusTick, event.baselineStart);
        start = smaller >= 0 ? smaller : event.stimulusTick >= 0 ? event.stimulusTick : event.baselineStart;
        end = event.fallEnd;
    } else if (AnalysisType() != 4) {
        start = event.baselineStart;
        end = event.baselineEnd;
    }
    samples_.clear();
    // An end before the start is no window; a span is never longer than the block.
    if (start >= 0 && end >= start) {
        std::int64_t span = static_cast<std::int64_t>(end) - start + 1;
        LONG blockLength = 0;
        const auto source = DataSourceOf(document_.HostDocument());
        if (source && SUCCEEDED(source->GetSampleCount(0, stored.block, &blockLength)) && blockLength > 0) {
            span = std::min<std::int64_t>(span, std::max<std::int64_t>(blockLength - start, 0));
        }
        span = std::min(span, kMaxTraceSamples);
        samples_.resize(static_cast<std::size_t>(span));
        ChartBuffer(document_.HostDocument(), document_.Settings().GetLong(Id::kSourceChannel))
            .Read(samples_, start, stored.block);
    }
    const double dt = SampleInterval(stored.block);
    const std::int32_t origin = event.stimulusTick >= 0 ? event.stimulusTick : event.tick;
    window.count = static_cast<std::int32_t>(samples_.size());
    window.samples = samples_.empty() ? nullptr : samples_.data();
    window.start = (static_cast<double>(start) - origin) * dt;
    window.interval = dt;
    return window;
}

std::vector<ParamIdSet::Marker> ParamIdSet::GetMarkers(int glyphSet) const
{
    std::vector<Marker> markers;
    const StoredEvent& stored = CurrentEvent();
    if (stored.block == StoredEvent::kNoBlock) {
        return markers;
    }
    const Enum::EventFCalc& event = stored.record;
    const double dt = SampleInterval(stored.block);
    const std::int32_t origin = event.stimulusTick >= 0 ? event.stimulusTick : event.tick;
    const auto time = [&](std::int64_t tick) { return static_cast<double>(tick - origin) * dt; };
    const auto shown = [&](std::int32_t code) { return IsMarkerShown(event, code, SwitchOf(code)); };
    const auto add = [&](double x, double y, double x2, double y2, std::int32_t kind, COLORREF colour,
                         KVO::String label) { markers.push_back({x, y, x2, y2, kind, colour, std::move(label)}); };
    const double baseline = event.baseline;
    switch (glyphSet) {
    case 4:
        if (event.reserved104 >= 0 && event.reserved108 >= 0) {
            if (shown(50)) {
                add(time(event.riseStart), NAN, time(event.reserved108), NAN, kArea, owl::TColor::LtYellow, {});
            }
        } else if (shown(56)) {
            add(time(event.riseStart), baseline, time(event.fallEnd), baseline, kArea, owl::TColor::LtYellow, {});
        }
        break;
    case 5:
        if (shown(48) && dt > 0.0) {
            const std::int32_t type = AnalysisType();
            const std::int64_t reference = (type == 3 || type == 4) ? event.stimulusTick : event.riseStart;
            const Doc::SettingsSet& settings = document_.Settings();
            const auto ticks = [&](double ms) { return static_cast<std::int64_t>(std::trunc(ms * 0.001 / dt + 0.5)); };
            const double x = time(reference + ticks(settings.GetDouble(Id::kSlopeStart)));
            const double x2 = time(reference + ticks(settings.GetDouble(Id::kSlopeEnd)));
            const double slope = event.slope;
            const double intercept = event.unread160;
            add(x, slope * dt + intercept, x2, slope * (x2 - x + dt) + intercept, kSegment, owl::TColor::Black,
                KVO::String(u"Slope"));
        }
        break;
    case 3:
        if (shown(2)) {
            add(0.0, baseline, 0.0, 0.0, kLevel, kMarkerColour, MarkerLabel(2));
        }
        if (shown(0)) {
            add(time(event.riseStart), 0.0, 0.0, 0.0, kTime, kMarkerColour, MarkerLabel(0));
        }
        if (shown(57)) {
            add(time(event.fallEnd), 0.0, 0.0, 0.0, kTime, kMarkerColour, MarkerLabel(57));
        }
        if (shown(3)) {
            add((event.tick + static_cast<double>(event.offset) - origin) * dt, 0.0, 0.0, 0.0, kTime, kMarkerColour,
                MarkerLabel(3));
        }
        if (shown(4)) {
            add(0.0, event.value, 0.0, 0.0, kLevel, kMarkerColour, MarkerLabel(4));
        }
        if (shown(27)) {
            const double half = baseline + (event.value - baseline) * 0.5;
            add(time(event.rise50Tick), half, time(event.fall50Tick), 0.0, kHorizontalSegment, kMarkerColour,
                MarkerLabel(27));
        }
        break;
    default:
        break;
    }
    return markers;
}

ParamIdSet::TauCurve ParamIdSet::GetTauCurve()
{
    TauCurve curve;
    curve.colour = kCurveColour;
    const StoredEvent& stored = CurrentEvent();
    if (stored.block == StoredEvent::kNoBlock || !IsMarkerShown(stored.record, 33, SwitchOf(33))) {
        return curve;
    }
    const Enum::EventFCalc& event = stored.record;
    const double tau = event.tau;
    const std::int64_t n = static_cast<std::int64_t>(event.tauEnd) - event.tauStart;
    curveX_.clear();
    curveY_.clear();
    // A fit of no time constant, or over no ticks, has no curve to draw.
    if (tau == 0.0 || !std::isfinite(tau) || n < 0) {
        return curve;
    }
    const double dt = SampleInterval(stored.block);
    const std::int32_t origin = event.stimulusTick >= 0 ? event.stimulusTick : event.tick;
    const double x0 = (static_cast<double>(event.tauStart) - origin) * dt;
    const double amplitude = event.unread140;
    const double offset = event.unread144;
    const std::int64_t points = std::min<std::int64_t>(n * 10 + 1, kMaxCurvePoints);
    curveX_.reserve(static_cast<std::size_t>(points));
    curveY_.reserve(static_cast<std::size_t>(points));
    double t = 0.0;
    for (std::int64_t k = 0; k < points; ++k) {
        curveX_.push_back(static_cast<float>(x0 + t));
        curveY_.push_back(static_cast<float>(amplitude * std::exp(-t / tau) + offset));
        t += dt / 10.0;
    }
    curve.count = static_cast<std::int32_t>(curveY_.size());
    curve.x = curveX_.data();
    curve.y = curveY_.data();
    return curve;
}

std::vector<KVO::String> ParamIdSet::ValueMenuNames() const
{
    std::vector<KVO::String> names;
    const std::int32_t type = AnalysisType();
    const std::int32_t count = document_.Catalogue().RowCount(type);
    for (std::int32_t row = 0; row < count; ++row) {
        names.emplace_back(document_.Catalogue().ShortNameAt(type, row));
    }
    return names;
}

KVO::String ParamIdSet::ValueText(std::int32_t row) const
{
    const std::int32_t type = AnalysisType();
    const ParamCatalogue::Row& entry = document_.Catalogue().RowAt(type, row);
    KVO::OStringStream text;
    text << KVO::String(entry.ShortName) << u": ";
    Doc::CycleDetector* results = document_.Results();
    const KVO::PrefixedUnit source = document_.SourceChannelUnits();
    double number = NAN;
    const KVO::String formatted =
        results ? results->FormatEventValue(document_.CurrentEvent(), entry.Code, source, &number) : KVO::String();
    if (!formatted.View().empty()) {
        text << formatted;
    } else if (!std::isfinite(number)) {
        text << u"No value";
    } else {
        text.precision(6);
        text << number << u' ' << KVO::String(ParamCatalogue::UnitText(entry.Code, source).Text());
    }
    return text.str();
}

} // namespace CX
