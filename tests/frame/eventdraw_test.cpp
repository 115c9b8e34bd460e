#include "frame/eventdraw.h"

#include "document/chartdatachilddata.h"
#include "sdk/calcclass.h"
#include "host/datasource.h"
#include "sharedhost.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace CX::Enum;

namespace {

std::u16string Take(IKVOString* text) { return host::TakeText(text); }

platform::ComPtr<IPODEventDrawClass> DrawClass(int n)
{
    SharedHost();
    return platform::ComPtr<IPODEventDrawClass>(NewEventDrawClass(n));
}

COLORREF Colour(int n, const void* event)
{
    COLORREF colour = 0xFFFFFFFF;
    EXPECT_EQ(DrawClass(n)->GetColour(0, event, &colour), S_OK);
    return colour;
}

std::u16string Hover(int n, const void* event, IUnknown* data = nullptr, LONG record = 0, double secondsPerTick = 0.001)
{
    IKVOString* text = nullptr;
    EXPECT_EQ(DrawClass(n)->GetHoverText(0, data, record, event, secondsPerTick, &text), S_OK);
    return Take(text);
}

// A host document whose child data numbers two events of block 1: tick 100 is event 2, tick 250 event 7. Its data
// source has a channel in mV and one in mmHg; the child data names no analysed channel yet.
platform::ComPtr<host::DataSource> NumberedDocument()
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->AddChannel(u"P", u"mmHg");
    document->AddBlock(0.001);
    document->AddBlock(0.001);
    auto data = host::DataSource::Create(SharedHost(), document);
    auto child = CX::Doc::ChartDataChildData::FindOrCreate(data->AsSource());
    auto& map = child->Positions().MapForBlock(1);
    map[KVOPosition{100, 1}] = 2;
    map[KVOPosition{250, 1}] = 7;
    return data;
}

void AnalyseChannel(host::DataSource& data, std::int32_t channel)
{
    CX::Doc::ChartDataChildData::FindOrCreate(data.AsSource())->SetChannelPair(channel, 0);
}

} // namespace

TEST(EventDraw, PeakAndStimulusClassesColourAndNameEvents)
{
    auto data = NumberedDocument();
    EventPkStm event;
    event.tick = 100;
    event.kind = kKindPeak;
    EXPECT_EQ(Colour(0, &event), 0x21AC7Au);
    EXPECT_EQ(Hover(0, &event, data->AsUnknown(), 1), u"CX: Peak 3");
    EXPECT_EQ(Colour(2, &event), 0x21AC7Au);
    EXPECT_EQ(Hover(2, &event, data->AsUnknown(), 1), u"CX: Population Spike 3");

    event.kind = kKindStimulus;
    event.tick = 250;
    EXPECT_EQ(Colour(0, &event), 0x37B4FFu);
    EXPECT_EQ(Hover(0, &event, data->AsUnknown(), 1), u"CX: Peak 8 stimulus");
    EXPECT_EQ(Colour(2, &event), 0x37B4FFu);
    EXPECT_EQ(Hover(2, &event, data->AsUnknown(), 1), u"CX: Peak 8 stimulus");

    // No number stored for the position (another tick, another block, no document): N is 0.
    event.tick = 101;
    EXPECT_EQ(Hover(0, &event, data->AsUnknown(), 1), u"CX: Peak 0 stimulus");
    event.tick = 100;
    EXPECT_EQ(Hover(0, &event, data->AsUnknown(), 0), u"CX: Peak 0 stimulus");
    EXPECT_EQ(Hover(0, &event), u"CX: Peak 0 stimulus");

    EXPECT_EQ(Colour(3, &event), 0xC1D286u);
    EXPECT_EQ(Hover(3, &event, data->AsUnknown(), 1), u"Preview Only");
    EXPECT_EQ(Colour(4, &event), 0x9B1DE3u);
    EXPECT_EQ(Hover(4, &event, data->AsUnknown(), 1), u"NO DRAW");
}

TEST(EventDraw, ComputedEventsShowHeightAndDuration)
{
    auto data = NumberedDocument();
    AnalyseChannel(*data.Get(), 0);

    EventFCalc event;
    event.tick = 100;
    event.value = 0.75;
    event.stimulusTick = 40;
    event.baselineStart = 50;
    event.riseStart = 60;
    event.fallEnd = 180;
    event.height = 0.0025f; // in volts: 2.5 mV
    EXPECT_EQ(Colour(1, &event), 0x21AC7Au);
    // From the stimulus (40) to the fall end (180): 140 ticks of 1 ms.
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Peak 3; Height = 2.5 mV; Duration = 0.14 s");

    // Without a rise start the stretch is mirrored about the tick: 40 + 2 * (100 - 40) = 160.
    event.riseStart = -1;
    event.fallEnd = 150;
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Peak 3; Height = 2.5 mV; Duration = 0.12 s");
    // A fall end beyond the mirror wins; with no stimulus the baseline start begins the stretch.
    event.fallEnd = 300;
    event.stimulusTick = -1;
    EXPECT_EQ(Colour(1, &event), 0x21AC7Au);
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1, 0.01), u"CX: Peak 3; Height = 2.5 mV; Duration = 2.5 s");

    // A unit without a prefix leaves the height as it is; no analysed channel, or one the host does not know,
    // gives no unit.
    event.tick = 250;
    event.stimulusTick = 200;
    event.baselineStart = 220;
    event.riseStart = 210;
    event.fallEnd = 290;
    AnalyseChannel(*data.Get(), 1);
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 0), u"CX: Peak 0; Height = 0.0025 mmHg; Duration = 0.09 s");
    AnalyseChannel(*data.Get(), 5);
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Peak 8; Height = 0.0025 ; Duration = 0.09 s");
    AnalyseChannel(*data.Get(), static_cast<std::int32_t>(0x80000000u));
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Peak 8; Height = 0.0025 ; Duration = 0.09 s");

    // Population-spike records carry the trough and second peak ticks.
    event.reserved104 = 260;
    event.reserved108 = 270;
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Population Spike 8");
    event.reserved108 = -1;
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"CX: Peak 8; Height = 0.0025 ; Duration = 0.09 s");

    // A value that is not a number: the stimulus colour and no text, unless the event follows no stimulus.
    event.value = std::nan("");
    EXPECT_EQ(Colour(1, &event), 0x37B4FFu);
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"");
    event.stimulusTick = -1;
    EXPECT_EQ(Colour(1, &event), 0x21AC7Au);
    event.value = INFINITY;
    EXPECT_EQ(Hover(1, &event, data->AsUnknown(), 1), u"");
}

TEST(EventDraw, NullEventsFailAndClassObjectsDescribeTheirDrawType)
{
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE(n);
        auto draw = DrawClass(n);
        COLORREF colour = 0x12345678;
        IKVOString* text = reinterpret_cast<IKVOString*>(&colour);
        EXPECT_EQ(draw->GetColour(0, nullptr, &colour), E_FAIL);
        EXPECT_EQ(draw->GetHoverText(0, nullptr, 0, nullptr, 0.001, &text), E_FAIL);
        EXPECT_EQ(colour, 0x12345678u);
        EXPECT_EQ(text, reinterpret_cast<IKVOString*>(&colour));

        platform::ComPtr<ICAFClassObject> info;
        ASSERT_EQ(draw->QueryInterface(IID_ICAFClassObject, info.OutVoid()), S_OK);
        DWORD id = 0;
        EXPECT_EQ(info->GetId(&id), S_OK);
        EXPECT_EQ(id, (DWORD{CX::RegisterEventDrawTypeId()} << 16) | static_cast<DWORD>(n));
        const GUID* category = &CX::CXEventDrawGUID;
        EXPECT_EQ(info->GetCategory(&category), S_OK);
        EXPECT_EQ(category, nullptr);
        EXPECT_EQ(info->IsCategory(&CX::CXEventDrawGUID), S_FALSE);
        BSTR name = SysAllocString(u"old");
        EXPECT_EQ(info->GetName(&name), S_OK);
        EXPECT_EQ(std::u16string(name), u"PkStimEventDrawClass");
        SysFreeString(name);

        platform::ComPtr<IUnknown> unknown;
        EXPECT_EQ(info->QueryInterface(IID_IUnknown, unknown.OutVoid()), S_OK);
        EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(draw.Get()));
        void* other = &colour;
        EXPECT_EQ(draw->QueryInterface(IID_ICalcEnumClass2, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
    }
}
