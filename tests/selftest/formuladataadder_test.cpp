// The formula data source recording into a chart data whose recording sink pulls the samples as the host's does:
// the order of the sink's calls, the samples against the formulas computed here, short records and failed checks.
#include "../frame/sharedhost.h"
#include "../host/noticelog.h"
#include "failureof.h"
#include "host/chartrecorder.h"
#include "host/comobject.h"
#include "host/framework.h"
#include "sdk/channeltoken.h"
#include "sdk/chartdata.h"
#include "sdk/datasource.h"
#include "sdk/sampleenum.h"
#include "selftest/formuladataadder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// Chart data that records: the sink pulls each new tick of every enabled channel through the data source's
// sample enumerators; it also allocates calculation channels and keeps their texts.
class RecordingChartData final : public IChannelData,
                                 public IChartRecording,
                                 public IChartDataSink,
                                 public IChartRecordData,
                                 public IChannelNaming,
                                 public IChannelCalculation,
                                 private host::RefCounted {
public:
    std::vector<std::string> calls;
    std::map<LONG, std::vector<float>> samples; // by channel
    std::map<LONG, bool> enabled;
    std::vector<std::pair<ChannelReference, std::u16string>> calculations;
    bool canSample = true;
    bool offersRecording = true;
    LONG ticksLost = 0;         // ticks the host drops from each AddTicks
    HRESULT allocateAnswer = S_OK;
    HRESULT calculationAnswer = S_OK;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IChannelData) {
            return host::Answer(static_cast<IChannelData*>(this), out);
        }
        if (iid == IID_IChartRecording && offersRecording) {
            return host::Answer(static_cast<IChartRecording*>(this), out);
        }
        if (iid == IID_IChartDataSink) {
            return host::Answer(static_cast<IChartDataSink*>(this), out);
        }
        if (iid == IID_IChartRecordData) {
            return host::Answer(static_cast<IChartRecordData*>(this), out);
        }
        if (iid == IID_IChannelNaming) {
            return host::Answer(static_cast<IChannelNaming*>(this), out);
        }
        if (iid == IID_IChannelCalculation) {
            return host::Answer(static_cast<IChannelCalculation*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetChannelTimeBase(DWORD, LONG, LONG, ChannelTimeBase*) override { return E_NOTIMPL; }

    // IChartDataSink
    HRESULT CanSample(IKVOString** reason, VARIANT_BOOL* can) override
    {
        calls.push_back("CanSample");
        *reason = nullptr;
        *can = canSample ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT Prepare(LONG) override
    {
        calls.push_back("Prepare");
        return S_OK;
    }
    HRESULT StartRecord(LONG, IKVOChannelDataSource* source, double tickPeriod, double startTime, double, LONG, LONG,
                        LONG startParam, VARIANT_BOOL online) override
    {
        calls.push_back("StartRecord " + std::to_string(tickPeriod) + " " + std::to_string(startParam) +
                        (online ? " online" : ""));
        startTime_ = startTime;
        source_ = source;
        end_ = 0;
        enums_.clear();
        return S_OK;
    }
    HRESULT AddTicks(LONG ticks) override
    {
        calls.push_back("AddTicks " + std::to_string(ticks));
        for (const auto& [channel, on] : enabled) {
            if (!on) {
                continue;
            }
            auto& reader = enums_[channel];
            if (!reader) {
                platform::ComPtr<IUnknown> opened;
                if (FAILED(source_->GetChannelEnum(0, channel, opened.Out())) || !opened ||
                    FAILED(opened->QueryInterface(IID_IEnumFloatEx, reader.OutVoid()))) {
                    calls.push_back("no samples for " + std::to_string(channel));
                    continue;
                }
            }
            std::vector<float> block(static_cast<std::size_t>(ticks));
            LONG read = 0;
            reader->Read(ticks, block.data(), &read);
            samples[channel].insert(samples[channel].end(), block.begin(), block.begin() + read);
        }
        end_ += ticks - std::min(ticks, ticksLost);
        return S_OK;
    }
    HRESULT EndRecord(LONG, LONG* out) override
    {
        calls.push_back("EndRecord");
        *out = 0;
        // As the host's sink: the readers go with the record (each holds the chart data it was made for).
        enums_.clear();
        return S_OK;
    }
    HRESULT Stop(VARIANT_BOOL) override
    {
        calls.push_back("Stop");
        source_ = nullptr;
        return S_OK;
    }
    HRESULT SetupChannel(LONG channel, LONG on, VARIANT_BOOL onFlag, DWORD, KVORational samplePeriod,
                         const KVORational* tickPeriod, DWORD kind, IKVOChannelDataSource*) override
    {
        calls.push_back("SetupChannel " + std::to_string(channel) + " " + std::to_string(on) + " " +
                        std::to_string(onFlag) + " " + std::to_string(samplePeriod.numerator) + "/" +
                        std::to_string(samplePeriod.denominator) + " " + std::to_string(tickPeriod->numerator) + "/" +
                        std::to_string(tickPeriod->denominator) + " " + std::to_string(kind));
        enabled[channel] = on != 0;
        return S_OK;
    }

    // IChartRecordData
    HRESULT GetRecordEndPosition(LONG, KVOPosition* end) override
    {
        *end = {end_, 0};
        return S_OK;
    }
    HRESULT GetTickPeriod(LONG, LONG, double*) override { return E_NOTIMPL; }

    // IChannelNaming
    HRESULT AllocateChannel(VARIANT_BOOL, DWORD, IKVOString** name, ChannelReference* channel) override
    {
        *name = nullptr;
        if (allocateAnswer == S_OK) {
            channel->word0 = static_cast<std::int32_t>(calculations.size()); // the next virtual channel
        }
        return allocateAnswer;
    }
    HRESULT GetChannelToken(LONG, LONG, LONG, BSTR*) override { return E_NOTIMPL; }

    // IChannelCalculation
    HRESULT SetCalculation(DWORD, IKVOString* text, IKVOString*, const ChannelReference* channel) override
    {
        calculations.emplace_back(*channel, host::TakeText((text->AddRef(), text)));
        return calculationAnswer;
    }

    double startTime_ = -1;

private:
    IKVOChannelDataSource* source_ = nullptr;
    LONG end_ = 0;
    std::map<LONG, platform::ComPtr<IEnumFloatEx>> enums_;
};

struct Recorder {
    platform::ComPtr<RecordingChartData> chart{new RecordingChartData};
    platform::ComPtr<FormulaDataAdder> adder;
    Recorder()
    {
        SharedHost();
        adder = FormulaDataAdder::Create(static_cast<IChannelData*>(chart.Get()));
        adder->Release(); // created with one reference; the ComPtr took its own
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    // A check that failed halfway through a record left it open; ending it lets the chart data's readers go.
    ~Recorder() { adder->FinishRecord(); }
};

std::vector<KVO::String> Texts(std::initializer_list<const char16_t*> texts)
{
    std::vector<KVO::String> result;
    for (const char16_t* text : texts) {
        result.emplace_back(text);
    }
    return result;
}

// The standard source of the calculation tests, written out here.
double StandardSource(double t)
{
    const double bump = 1.0 / std::pow(0.01 + (1.0 - std::sin(5 * t)), 2) * 0.0001;
    const double s = std::sin(5 * t - 2.5);
    return bump + (s > 0.5 ? 1.0 : 0.0) * (s - 0.5) * (1 + 0.1 * t);
}

TEST(FormulaDataAdder, RecordsFormulaChannelsThroughTheSinkInOrder)
{
    Recorder r;
    r.adder->SetStartParam(7);
    r.adder->AddRecord(Texts({u"1/(0.01+(1-sin(5*t)))^2 * 0.0001 + threshold(sin(5*t - 2.5),.5)*(sin(5*t-2.5)-0.5)*"
                              u"(1+ 0.1*t)",
                              u"5*sin(10*t)"}),
                       3000, 1000.0, 1.5e9);
    const std::vector<std::string> expected = {
        "SetupChannel 0 1 -1 1/1000 1/1000 2147614723",
        "SetupChannel 1 1 -1 1/1000 1/1000 2147614723",
        "CanSample",
        "Prepare",
        "StartRecord 0.001000 7 online",
        "AddTicks 3000",
        "EndRecord",
        "Stop",
    };
    EXPECT_EQ(r.chart->calls, expected);
    // The channel readers went with the record: only the test holds the chart data.
    r.chart->AddRef();
    EXPECT_EQ(r.chart->Release(), 1u);
    EXPECT_EQ(r.chart->startTime_, 1.5e9);
    ASSERT_EQ(r.chart->samples[0].size(), 3000u);
    ASSERT_EQ(r.chart->samples[1].size(), 3000u);
    for (std::size_t i = 0; i < 3000; i += 7) {
        const double t = static_cast<double>(i) / 1000.0;
        EXPECT_NEAR(r.chart->samples[0][i], StandardSource(t), 1e-4 * std::max(1.0, std::fabs(StandardSource(t))))
            << i;
        EXPECT_NEAR(r.chart->samples[1][i], 5 * std::sin(10 * t), 1e-5) << i;
    }
}

TEST(FormulaDataAdder, AddsTicksInStepsUpToTheRecordLength)
{
    Recorder r;
    r.adder->BeginRecord(Texts({u"t"}), 2000, 500.0);
    for (int step = 1; step <= 30; ++step) {
        r.adder->AddTicks(100);
        EXPECT_EQ(r.adder->TicksAdded(), std::min(step * 100, 2000)) << step;
    }
    r.adder->FinishRecord();
    // Twenty steps of 100, then ten that announce 0 and still check the end.
    EXPECT_EQ(std::count(r.chart->calls.begin(), r.chart->calls.end(), "AddTicks 100"), 20);
    EXPECT_EQ(std::count(r.chart->calls.begin(), r.chart->calls.end(), "AddTicks 0"), 10);
    ASSERT_EQ(r.chart->samples[0].size(), 2000u);
    EXPECT_FLOAT_EQ(r.chart->samples[0][1999], 1999 / 500.0f);
}

TEST(FormulaDataAdder, SetupAndChannels)
{
    struct Case {
        const char* what;
        std::vector<KVO::String> expressions;
        std::vector<double> rates;
        bool emptyChannelsAfterSetup;
        std::vector<std::string> setups; // the SetupChannel calls
        bool channelsEmpty;              // the adder's own set after recording
    };
    const Case cases[] = {
        {"no formula: a constant 1 at 1000 per second", {}, {}, false, {"SetupChannel 0 1 -1 1/1000 1/1000 2147614723"}, true},
        {"rates of their own", Texts({u"t", u"2*t"}), {1000.0, 250.0}, false,
         {"SetupChannel 0 1 -1 1/1000 1/1000 2147614723", "SetupChannel 1 1 -1 1/250 1/1000 2147614723"}, false},
        {"channels emptied after set-up: channel 0 is still recorded", Texts({u"t", u"2*t"}), {100.0, 100.0}, true,
         {"SetupChannel 0 1 -1 1/100 1/100 2147614723", "SetupChannel 1 0 0 1/100 1/100 2147614723"}, true},
    };
    for (const Case& c : cases) {
        Recorder r;
        r.adder->Setup(c.expressions, 50, c.rates);
        if (c.emptyChannelsAfterSetup) {
            r.adder->SetChannels(KVO::Bitset());
        }
        r.adder->StartRecord(1.0);
        r.adder->AddTicks(50);
        r.adder->FinishRecord();
        std::vector<std::string> setups;
        for (const auto& call : r.chart->calls) {
            if (call.starts_with("SetupChannel")) {
                setups.push_back(call);
            }
        }
        EXPECT_EQ(setups, c.setups) << c.what;
        EXPECT_EQ(r.adder->Channels().IsEmpty(), c.channelsEmpty) << c.what;
        if (c.expressions.empty()) {
            EXPECT_EQ(r.chart->samples[0], std::vector<float>(50, 1.0f));
        }
    }
}

TEST(FormulaDataAdder, ChannelSetsAddAndRemove)
{
    Recorder r;
    KVO::Bitset a;
    a.SetLowBits(3); // 0, 1, 2
    KVO::Bitset b;
    b.WordAt(0) = 0b1010; // 1, 3
    r.adder->SetChannels(a);
    r.adder->AddChannels(b);
    EXPECT_EQ(r.adder->Channels().Word(0), 0b1111u);
    r.adder->RemoveChannels(b);
    EXPECT_EQ(r.adder->Channels().Word(0), 0b0101u);
    EXPECT_EQ(a.Word(0), 0b0111u); // the given set is copied, not shared
}

TEST(FormulaDataAdder, RecordLength)
{
    Recorder r;
    LONGLONG ticks64 = 0;
    LONG ticks = 0;
    EXPECT_EQ(r.adder->GetRecordLength64(&ticks64), S_OK);
    EXPECT_EQ(ticks64, 10240);
    EXPECT_EQ(r.adder->GetRecordLength64(nullptr), E_POINTER);
    r.adder->Setup(Texts({u"t"}), 777, {1000.0});
    EXPECT_EQ(r.adder->GetRecordLength(&ticks), S_OK);
    EXPECT_EQ(ticks, 777);
    void* out = &ticks;
    EXPECT_EQ(r.adder->QueryInterface(IID_IChartDataSink, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(r.adder->QueryInterface(IID_IKVOChannelDataSource, nullptr), E_POINTER);
}

TEST(FormulaDataAdder, FailedChecksGiveTheirTexts)
{
    struct Case {
        const char* what;
        std::function<void(Recorder&)> act;
        const char16_t* failure;
    };
    const Case cases[] = {
        {"two formulas, three rates", [](Recorder& r) { r.adder->Setup(Texts({u"t", u"t"}), 10, {1.0, 2.0, 3.0}); },
         u"TestDataAdder, Line 60 [mExpressions.size() == mSampleRates.size()]"},
        {"a formula the host cannot read, refused when it is set",
         [](Recorder& r) { r.adder->Setup(Texts({u"t", u"5*sin("}), 10, {1.0, 2.0}); },
         u"TestDataAdder, Line 61 [formula parsed], [5*sin(]"},
        {"no recording interface",
         [](Recorder& r) {
             r.chart->offersRecording = false;
             r.adder->BeginRecord(Texts({u"t"}), 10, 1000.0);
         },
         u"TestDataAdder, Line 391 [mSink.IsValid()]"},
        {"no record length", [](Recorder& r) { r.adder->BeginRecord(Texts({u"t"}), -1, 1000.0); },
         u"TestDataAdder, Line 392 [mTicks!=-1]"},
        {"no positive rate", [](Recorder& r) { r.adder->BeginRecord(Texts({u"t"}), 10, 0.0); },
         u"TestDataAdder, Line 393 [mTickRate>0]"},
        {"the host cannot sample",
         [](Recorder& r) {
             r.chart->canSample = false;
             r.adder->BeginRecord(Texts({u"t"}), 10, 1000.0);
         },
         u"TestDataAdder, Line 446 [canSample]"},
        {"ticks before the record starts", [](Recorder& r) { r.adder->AddTicks(5); },
         u"TestDataAdder, Line 487 [mSink]"},
        {"ticks after it finished",
         [](Recorder& r) {
             r.adder->AddRecord(Texts({u"t"}), 10, 1000.0);
             r.adder->AddTicks(5);
         },
         u"TestDataAdder, Line 487 [mSink]"},
        {"the host's record falls short",
         [](Recorder& r) {
             r.chart->ticksLost = 1;
             r.adder->AddRecord(Texts({u"t"}), 10, 1000.0);
         },
         u"TestDataAdder, Line 497 [endpos.mRecordOffset == mTicksAdded]"},
        {"a channel past the rates",
         [](Recorder& r) {
             r.adder->Setup(Texts({u"t"}), 10, {1000.0});
             IUnknown* samples = nullptr;
             EXPECT_EQ(r.adder->GetChannelEnum(0, 1, &samples), E_FAIL);
             EXPECT_EQ(samples, nullptr);
             r.adder->ThrowPendingFailure();
         },
         u"TestDataAdder, Line 109 [chan < (TChanIndex)(mSampleRates.size())]"},
    };
    for (const Case& c : cases) {
        Recorder r;
        EXPECT_EQ(FailureOf([&] { c.act(r); }), c.failure) << c.what;
    }
}

TEST(FormulaDataAdder, ChannelEnumeratorsReadTheFormulaFromTickZero)
{
    Recorder r;
    r.adder->Setup(Texts({u"2*t^2 - 1", u"threshold(t, 0.25)"}), 10, {100.0, 8.0});
    struct Case {
        LONG channel;
        std::vector<float> first;
        HRESULT result;
    };
    const Case cases[] = {
        {0, {-1.0f, -0.9998f, -0.9992f, -0.9982f}, S_OK},
        {1, {0.0f, 0.0f, 0.0f, 1.0f}, S_OK},      // t = 0, 0.125, 0.25, 0.375
    };
    for (const Case& c : cases) {
        platform::ComPtr<IUnknown> opened;
        EXPECT_EQ(r.adder->GetChannelEnum(0, c.channel, opened.Out()), c.result) << c.channel;
        if (c.first.empty()) {
            EXPECT_EQ(opened.Get(), nullptr);
            continue;
        }
        platform::ComPtr<IEnumFloatEx> samples;
        ASSERT_EQ(opened->QueryInterface(IID_IEnumFloatEx, samples.OutVoid()), S_OK);
        std::vector<float> read(c.first.size());
        LONG count = 0;
        ASSERT_EQ(samples->Read(static_cast<LONG>(read.size()), read.data(), &count), S_OK);
        ASSERT_EQ(count, static_cast<LONG>(read.size()));
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_NEAR(read[i], c.first[i], 1e-6) << c.channel << " sample " << i;
        }
    }
}

TEST(DefineSourceChannels, AllocatesAChannelPerTextAndSetsItsCalculation)
{
    Recorder r;
    Crestmetrics::Enum::DefineSourceChannels({}, static_cast<IChannelData*>(r.chart.Get()));
    EXPECT_TRUE(r.chart->calculations.empty());
    Crestmetrics::Enum::DefineSourceChannels(Texts({u"cappeakdet(ch1,0.3)", u"calcbase(ch1,vch1)"}),
                                             static_cast<IChannelData*>(r.chart.Get()));
    ASSERT_EQ(r.chart->calculations.size(), 2u);
    EXPECT_EQ(r.chart->calculations[0].second, u"cappeakdet(ch1,0.3)");
    EXPECT_EQ(r.chart->calculations[0].first.word0, 0);
    EXPECT_EQ(r.chart->calculations[0].first.word1, static_cast<std::int32_t>(0xC0000000u));
    EXPECT_EQ(r.chart->calculations[1].second, u"calcbase(ch1,vch1)");
    EXPECT_EQ(r.chart->calculations[1].first.word0, 1);

    struct Case {
        HRESULT allocate;
        HRESULT calculation;
        const char16_t* failure;
    };
    const Case cases[] = {
        {E_FAIL, S_OK, u"TestStandardRoutines, Line 85 [hr==S_OK]"},
        {S_FALSE, S_OK, u"TestStandardRoutines, Line 85 [hr==S_OK]"},
        {S_OK, E_INVALIDARG, u"TestStandardRoutines, Line 86 [calculation accepted], [nonsense(]"},
    };
    for (const Case& c : cases) {
        Recorder failing;
        failing.chart->allocateAnswer = c.allocate;
        failing.chart->calculationAnswer = c.calculation;
        EXPECT_EQ(FailureOf([&] {
                      Crestmetrics::Enum::DefineSourceChannels(Texts({u"nonsense("}),
                                                               static_cast<IChannelData*>(failing.chart.Get()));
                  }),
                  c.failure);
    }
}

// On the stand-in host: each request gives new chart data, and a record grows block by block with the notices in
// the host's order.
TEST(FormulaDataAdder, RecordsIntoTheHostsChartData)
{
    SharedHost();
    const auto chartData = Crestmetrics::Enum::GetTestChartData();
    ASSERT_TRUE(chartData);
    EXPECT_NE(Crestmetrics::Enum::GetTestChartData().Get(), chartData.Get());

    platform::ComPtr<IOnlineDataNotices> notices;
    ASSERT_EQ(chartData->QueryInterface(IID_IOnlineDataNotices, notices.OutVoid()), S_OK);
    platform::ComPtr<NoticeLog> log(new NoticeLog);
    notices->Subscribe(log.Get());

    platform::ComPtr<FormulaDataAdder> adder(FormulaDataAdder::Create(chartData.Get()));
    adder->Release();
    adder->BeginRecord(Texts({u"5*sin(10*t)", u"threshold(t, 0.1)"}), 300, 1000.0);
    adder->AddTicks(120);
    adder->AddTicks(200);
    adder->FinishRecord();
    notices->Unsubscribe(log.Get());

    const std::vector<std::string> expected = {"started", "block 0", "data 120", "data 180", "stopped", "after stop"};
    EXPECT_EQ(log->notices, expected);
    const auto& document = static_cast<host::ChartRecorder*>(static_cast<IChannelData*>(chartData.Get()))->GetDocument();
    ASSERT_EQ(document.BlockCount(), 1);
    EXPECT_DOUBLE_EQ(document.TickPeriod(0), 0.001);
    const auto wave = document.Samples(0, 0);
    const auto step = document.Samples(0, 1);
    ASSERT_EQ(wave.size(), 300u);
    ASSERT_EQ(step.size(), 300u);
    for (std::size_t i = 0; i < 300; ++i) {
        const double t = static_cast<double>(i) / 1000.0;
        EXPECT_NEAR(wave[i], 5 * std::sin(10 * t), 1e-5) << i;
        EXPECT_EQ(step[i], t > 0.1 ? 1.0f : 0.0f) << i;
    }
}

} // namespace
