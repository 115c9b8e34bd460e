#include "frame/eventdraw.h"

#include "document/chartdatachilddata.h"
#include "foundation/stringstream.h"
#include "frame/enumgetter.h"
#include "frame/hostservices.h"
#include "frame/module.h"

#include <algorithm>

namespace CX::Enum {

namespace {

constexpr COLORREF kStimulusColour = 0x37B4FF;
constexpr COLORREF kPeakColour = 0x21AC7A;

KVO::String Numbered(const char16_t* prefix, int number, const char16_t* suffix = nullptr)
{
    KVO::OStringStream text;
    text << prefix << number;
    if (suffix) {
        text << suffix;
    }
    return text.str();
}

} // namespace

int HoverQuery::EventNumber(std::int32_t tick) const
{
    if (!hostData_) {
        return 0;
    }
    platform::ComPtr<IChannelData> channelData;
    if (FAILED(hostData_->QueryInterface(IID_IChannelData, channelData.OutVoid())) || !channelData) {
        return 0;
    }
    const auto childData = CX::Doc::ChartDataChildData::FindOrCreate(channelData.Get());
    if (!childData) {
        return 0;
    }
    return childData->EventOrdinal(tick, record_) + 1;
}

KVO::PrefixedUnit HoverQuery::SourceUnit() const
{
    if (!hostData_) {
        return KVO::PrefixedUnit();
    }
    // The analysed channel is the one the module's child data keeps; the host data object is also the source.
    platform::ComPtr<IChannelData> channelData;
    platform::ComPtr<IDataSource> source;
    if (FAILED(hostData_->QueryInterface(IID_IChannelData, channelData.OutVoid())) || !channelData ||
        FAILED(hostData_->QueryInterface(IID_IDataSource, source.OutVoid())) || !source) {
        return KVO::PrefixedUnit();
    }
    const auto childData = CX::Doc::ChartDataChildData::FindOrCreate(channelData.Get());
    KVO::PrefixedUnit unit;
    if (!childData || childData->SourceChannel() < 0 ||
        !ExtLib::GetEnumUnitNameAt(source.Get(), record_, childData->SourceChannel(), unit)) {
        return KVO::PrefixedUnit();
    }
    return unit;
}

COLORREF PkStmDetDrawPolicy::Colour(const EventPkStm& event)
{
    return event.kind == kKindStimulus ? kStimulusColour : kPeakColour;
}

KVO::String PkStmDetDrawPolicy::Text(const EventPkStm& event, const HoverQuery& query)
{
    const int n = query.EventNumber(event.tick);
    return event.kind == kKindStimulus ? Numbered(u"CX: Peak ", n, u" stimulus") : Numbered(u"CX: Peak ", n);
}

KVO::String PSDrawPolicy::Text(const EventPkStm& event, const HoverQuery& query)
{
    const int n = query.EventNumber(event.tick);
    return event.kind == kKindStimulus ? Numbered(u"CX: Peak ", n, u" stimulus")
                                       : Numbered(u"CX: Population Spike ", n);
}

COLORREF GeneralChartViewDrawPolicy::Colour(const EventFCalc& event)
{
    if (event.stimulusTick < 0) {
        return kPeakColour;
    }
    return IsFiniteValue(event.value) ? kPeakColour : kStimulusColour;
}

KVO::String GeneralChartViewDrawPolicy::Text(const EventFCalc& event, const HoverQuery& query)
{
    if (!IsFiniteValue(event.value)) {
        return KVO::String();
    }
    const int n = query.EventNumber(event.tick);
    if (event.reserved104 >= 0 && event.reserved108 >= 0) {
        return Numbered(u"CX: Population Spike ", n);
    }
    const KVO::PrefixedUnit unit = query.SourceUnit();

    // The stretch of the event: from the earlier of stimulus and baseline start to the fall end, or, without a
    // usable fall end, mirrored about the event's tick.
    std::int32_t lo = std::min(event.stimulusTick, event.baselineStart);
    if (lo < 0) {
        lo = event.stimulusTick >= 0 ? event.stimulusTick : event.baselineStart;
    }
    std::int64_t end = 0;
    if (event.riseStart >= 0 && event.fallEnd > event.riseStart) {
        end = event.fallEnd;
    } else {
        end = std::max<std::int64_t>(event.fallEnd, std::int64_t{lo} + 2 * (std::int64_t{event.tick} - lo));
    }
    const double duration = static_cast<double>(end - lo) * query.SecondsPerTick();
    const double multiplier = unit.Prefix() != 0 ? KVO::SIPrefixMultiplier(unit.Prefix()) : 1.0;
    const double height = static_cast<double>(event.height) / multiplier;

    KVO::OStringStream text;
    text << u"CX: Peak " << n << u"; Height = " << height << u" " << unit.Text().c_str() << u"; Duration = "
         << duration << u" s";
    return text.str();
}

IPODEventDrawClass* NewEventDrawClass(int n)
{
    switch (n) {
    case 0: return new PkStmDrawClass;
    case 1: return new ChartViewDrawClass;
    case 2: return new PSDrawClass;
    case 3: return new PreviewDrawClass;
    case 4: return new NoDrawClass;
    default: return nullptr;
    }
}

} // namespace CX::Enum

namespace CX::Module {

void RegisterEventDrawClasses()
{
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    if (!framework) {
        return;
    }
    // In the order of the draw-type numbers, each handed over with a count of 0 as the ICAFClassObject that the
    // framework keeps: the framework takes the first reference.
    using namespace CX::Enum;
    const auto classObject = [](auto* object) { return static_cast<ICAFClassObject*>(object); };
    framework->Register(classObject(new PkStmDrawClass));
    framework->Register(classObject(new ChartViewDrawClass));
    framework->Register(classObject(new PSDrawClass));
    framework->Register(classObject(new PreviewDrawClass));
    framework->Register(classObject(new NoDrawClass));
}

} // namespace CX::Module
