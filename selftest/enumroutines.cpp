#include "selftest/enumroutines.h"

#include "selftest/eventcompare.h"
#include "selftest/formuladataadder.h"
#include "selftest/ran1.h"

#include <cmath>
#include <cstddef>
#include <sstream>

namespace Crestmetrics::Enum {

namespace {

// The random draws of one routine.
class Draws {
public:
    explicit Draws(std::int32_t seed) : seed_(seed) {}
    // trunc(r × (scale + 0.999999999)) for a fresh draw r.
    std::int64_t Below(double scale)
    {
        const double r = static_cast<double>(Ran1(seed_, shuffle_, table_));
        return static_cast<std::int64_t>(std::trunc(r * (scale + 0.999999999)));
    }

private:
    std::int32_t seed_;
    std::int32_t shuffle_ = 0;
    Ran1Table table_{};
};

// The host's data source of a chart data (null when it offers none).
platform::ComPtr<IDataSource> SourceOf(IUnknown* chartData)
{
    platform::ComPtr<IDataSource> source;
    if (chartData) {
        chartData->QueryInterface(IID_IDataSource, source.OutVoid());
    }
    return source;
}

// A chart data with the test's recording, the adder that made it and the host's data source over it.
struct TestRecording {
    platform::ComPtr<IUnknown> chartData = GetTestChartData();
    // Created with one reference, which this holder takes over.
    platform::ComPtr<FormulaDataAdder> adder =
        platform::ComPtr<FormulaDataAdder>::Adopt(FormulaDataAdder::Create(chartData.Get()));
    platform::ComPtr<IDataSource> source;

    TestRecording() = default;
    TestRecording(const TestRecording&) = delete;
    TestRecording& operator=(const TestRecording&) = delete;
    // A failed check leaves a record open: the chart data still reads the adder's channels through enumerators
    // that hold the chart data, so only the end of the record lets both go.
    ~TestRecording()
    {
        if (adder) {
            adder->FinishRecord();
        }
    }

    void Open() { source = SourceOf(chartData.Get()); }
    ExtLib::EventEnumDataGetter Getter() const { return ExtLib::EventEnumDataGetter(source.Get(), 1); }
};

bool CreateEnum(ExtLib::EventEnumDataGetter& getter, const EnumTestConfig& config)
{
    return getter.CreateCalc(config.mEnumID, false, config.mArithString);
}

// The check's place is the caller's.
platform::ComPtr<IEnumEventEx> EventEnum(const ExtLib::EventEnumDataGetter& getter, const char* file, int line,
                                         const CallPlace& where = CallPlace::Here())
{
    platform::ComPtr<IEnumEventEx> events;
    getter.QueryEventEnum(events.Out());
    UnitTestCheck(events.Get() != nullptr, "theenum", file, line, KVO::String(u"no event enumerator"), where);
    return events;
}

std::u16string Digits(const std::string& digits) { return std::u16string(digits.begin(), digits.end()); }

struct BounceLines {
    const char* file;
    int create, read, nonEmpty, delivered, tick, offset;
};
constexpr BounceLines kStandardBounce{kStandardRoutinesFile, 183, 186, 188, 233, 255, 257};
constexpr BounceLines kDeterministicBounce{kEnumTestsFile, 64, 67, 69, 116, 138, 140};

template <class TBufType>
void Bounce(const EnumTestConfig& config, bool deterministic, bool reuseCalculation)
{
    const BounceLines& at = deterministic ? kDeterministicBounce : kStandardBounce;
    Draws draws(deterministic ? 0 : Ran1ClockSeed());
    TestRecording recording;
    const auto records = static_cast<LONG>(config.mNumRecords);
    for (LONG i = 0; i < records; ++i) {
        if (deterministic) {
            recording.adder->AddRecord(config.mSourceExpressions, static_cast<std::int32_t>(config.mNumSamples),
                                       1000.0, 0.0);
        } else {
            recording.adder->AddRecord(config.mSourceExpressions, static_cast<std::int32_t>(config.mNumSamples),
                                       config.mSampleRates, 0.0);
        }
    }
    if (!deterministic) {
        DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    }
    recording.Open();

    std::vector<std::vector<TBufType>> results(static_cast<std::size_t>(records));
    {
        auto edg = recording.Getter();
        UnitTestCheck(CreateEnum(edg, config), "edg.CreateEnum(config.mEnumID, config.mArithString)", at.file,
                      at.create);
        for (LONG i = 0; i < records; ++i) {
            UnitTestCheck(GetRecordData(edg, i, results[static_cast<std::size_t>(i)]),
                          "edg.GetRecordData<TBufType>(i,results[i])", at.file, at.read);
            const auto nn = results[static_cast<std::size_t>(i)].size();
            UnitTestCheck(nn > 0, "nn>0", at.file, at.nonEmpty);
        }
    }

    auto bouncer = recording.Getter();
    if (reuseCalculation || deterministic) {
        CreateEnum(bouncer, config);
    }
    std::vector<TBufType> buffer(10);
    for (int iteration = 0; iteration < 50; ++iteration) {
        const auto record = static_cast<LONG>(draws.Below(static_cast<double>(records - 1)));
        const auto& reference = results[static_cast<std::size_t>(record)];
        const auto n = static_cast<std::int64_t>(reference.size());
        if (n == 0) {
            continue;
        }
        const auto index = static_cast<std::size_t>(draws.Below(static_cast<double>(n - 1)));
        const std::int64_t low = index == 0 ? 0 : std::int64_t{reference[index - 1].tick} + 1;
        const std::int64_t high = std::int64_t{reference[index].tick} - (reference[index].offset < 0.0f ? 1 : 0);
        const std::int64_t start = low < high ? low + draws.Below(static_cast<double>(high - low)) : high;
        if (!reuseCalculation && !deterministic) {
            CreateEnum(bouncer, config);
        }
        SetSources(bouncer, record, static_cast<LONG>(start));
        {
            auto events = EventEnum(bouncer, at.file, at.delivered);
            LONG count = 0;
            LONG next = 0;
            events->Next(static_cast<ULONG>(10 * sizeof(TBufType)), kEndOfRecord, buffer.data(), &count, &next);
            const LONG n = count;
            UnitTestCheck(n > 0, "n>0", at.file, at.delivered);
        }
        if (bouncer.Started()) {
            bouncer.Stop();
        }
        const std::int32_t tp1 = reference[index].tick;
        const std::int32_t tp2 = buffer[0].tick;
        std::wostringstream message;
        message << L"Bounce gave different result! Peak was at " << tp1 << L", but bouncing put it at " << tp2 << L".";
        UnitTestCheck(tp1 == tp2, "tp1 == tp2", at.file, at.tick, KVO::String(message.str()));
        const float to1 = reference[index].offset;
        const float to2 = buffer[0].offset;
        UnitTestCheck(std::fabs(to1 - to2) < 0.01, "fabs( to1 - to2 ) < 0.01", at.file, at.offset);
    }
}

struct FindLines {
    int create, read, enough, forward1, forwardAt1, forward2, forwardAt2, forwardNone, forwardNoneAt, backward1,
        backwardAt1, backward2, backwardAt2, backwardNone, backwardNoneAt, endStart, endStartAt, endFind, endRead,
        endLast;
};
constexpr FindLines kFindCopies[3] = {
    {166, 167, 168, 190, 192, 196, 198, 205, 208, 215, 218, 222, 225, 231, 234, 246, 247, 249, 250, 251},
    {394, 395, 396, 418, 420, 424, 426, 433, 436, 443, 446, 450, 453, 459, 462, 474, 475, 477, 478, 479},
    {558, 559, 560, 582, 584, 588, 590, 597, 600, 607, 610, 614, 617, 623, 626, 638, 639, 641, 642, 643},
};
constexpr FindLines kFindLines{611, 612, 613, 635, 637, 641, 643, 650, 653, 660,
                                663, 667, 670, 676, 679, 691, 692, 694, 695, 696};
constexpr int kEnoughLandmarksLine = 614;

} // namespace

template <class TBufType>
void RunBounceTest(const EnumTestConfig& config, bool reuseCalculation)
{
    Bounce<TBufType>(config, false, reuseCalculation);
}

template <class TBufType>
void RunDeterministicBounceTest(const EnumTestConfig& config)
{
    Bounce<TBufType>(config, true, true);
}

// The searches between neighbouring known events: the deterministic form draws its pair anew each probe, the
// standard form probes the landmark events 10 and 11.
template <class TBufType>
void FindProbes(const EnumTestConfig& config, bool deterministic, const FindLines& at)
{
    const char* const file = deterministic ? kEnumTestsFile : kStandardRoutinesFile;
    Draws draws(deterministic ? 0 : Ran1ClockSeed());
    TestRecording recording;
    const auto numsamples = static_cast<LONG>(config.mNumSamples);
    if (deterministic) {
        recording.adder->AddRecord(config.mSourceExpressions, numsamples, 1000.0, 0.0);
    } else {
        recording.adder->AddRecord(config.mSourceExpressions, numsamples, config.mSampleRates, 0.0);
        DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    }
    recording.Open();

    std::vector<TBufType> vec;
    {
        auto edg = recording.Getter();
        UnitTestCheck(CreateEnum(edg, config), "edg.CreateEnum(config.mEnumID, config.mArithString)", file,
                      at.create);
        UnitTestCheck(GetRecordData(edg, 0, vec), "edg.GetRecordData<TBufType>(0,vec)", file, at.read);
        UnitTestCheck(vec.size() > 2, "vec.size()>2", file, at.enough,
                      KVO::String(u"EventEnumTestFind Comparison needs some events to work with."));
        if (!deterministic) {
            UnitTestCheck(vec.size() >= 12, "vec.size()>=12", file, kEnoughLandmarksLine,
                          KVO::String(u"EventEnumTestFind needs at least 12 events to probe events 10 and 11."));
        }
    }
    const auto n = static_cast<std::int64_t>(vec.size());
    {
        auto edg = recording.Getter();
        CreateEnum(edg, config);
        const auto start = static_cast<LONG>(draws.Below(static_cast<double>(numsamples - 1)));
        SetSources(edg, 0, start);
        auto theenum = EventEnum(edg, file, at.forward1);
        const KVO::String forwards(u"Find fails to find known event going forwards.");
        const KVO::String backwards(u"Find fails to find known event going backwards.");
        for (int iteration = 0; iteration < 100; ++iteration) {
            const auto k = deterministic ? static_cast<std::size_t>(draws.Below(static_cast<double>(n - 2))) : 10u;
            const LONG pos0 = vec[k].tick;
            const LONG pos1 = vec[k + 1].tick;
            const LONG mid = pos0 + 1 + static_cast<LONG>(draws.Below(static_cast<double>(pos1 - pos0 - 2)));
            const auto which = draws.Below(3.0);
            LONG nPos = 0;
            HRESULT hr = S_OK;
            switch (which) {
            case 0:
                hr = theenum->Find(0, mid, pos0 + 1, kEndOfRecord);
                UnitTestCheck(hr == S_OK, "hr==S_OK", file, at.forward1);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos == pos1, "nPos == pos1", file, at.forwardAt1, forwards);
                hr = theenum->Find(0, mid, pos0 + 1, pos1 + 1);
                UnitTestCheck(hr == S_OK, "hr==S_OK", file, at.forward2);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos == pos1, "nPos == pos1", file, at.forwardAt2, forwards);
                break;
            case 1:
                hr = theenum->Find(0, pos0 + 1, pos0 + 1, pos1);
                UnitTestCheck(hr == S_FALSE, "hr==S_FALSE", file, at.forwardNone);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos > pos0 && nPos <= pos1, "nPos>pos0 && nPos<=pos1", file, at.forwardNoneAt);
                break;
            case 2:
                hr = theenum->Find(1, mid, 0, pos1);
                UnitTestCheck(hr == S_OK, "hr==S_OK", file, at.backward1);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos == pos0, "nPos == pos0", file, at.backwardAt1, backwards);
                hr = theenum->Find(1, mid, pos0, pos1);
                UnitTestCheck(hr == S_OK, "hr==S_OK", file, at.backward2);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos == pos0, "nPos == pos0", file, at.backwardAt2, backwards);
                break;
            default:
                hr = theenum->Find(1, pos1 - 1, pos0 + 1, pos1);
                UnitTestCheck(hr == S_FALSE, "hr==S_FALSE", file, at.backwardNone);
                theenum->GetPosition(&nPos);
                UnitTestCheck(nPos > pos0 && nPos <= pos1, "nPos>pos0 && nPos<=pos1", file, at.backwardNoneAt,
                              KVO::String(u"Bad position returned by Find when going backwards and no event found."));
                break;
            }
        }
    }
    auto edg = recording.Getter();
    CreateEnum(edg, config);
    SetSources(edg, 0, numsamples - 1);
    auto theenum = EventEnum(edg, file, at.endStart);
    LONG startpos = 0;
    UnitTestCheck(theenum->GetPosition(&startpos) == S_OK, "theenum->GetPosition(&startpos)==S_OK", file, at.endStart);
    UnitTestCheck(startpos == numsamples - 1, "startpos==numsamples-1", file, at.endStartAt);
    const HRESULT hr = theenum->Find(1, startpos, 0, numsamples);
    UnitTestCheck(hr == S_OK, "hr==S_OK", file, at.endFind);
    LONG pos = 0;
    UnitTestCheck(theenum->GetPosition(&pos) == S_OK, "theenum->GetPosition(&pos)==S_OK", file, at.endRead);
    UnitTestCheck(pos == vec.back().tick, "pos==vec[vec.size()-1].GetPosition()", file, at.endLast);
}

template <class TBufType>
void RunDeterministicFindTest(const EnumTestConfig& config, int copy)
{
    FindProbes<TBufType>(config, true, kFindCopies[copy]);
}

template <class TBufType>
void RunFindTest(const EnumTestConfig& config)
{
    FindProbes<TBufType>(config, false, kFindLines);
}

template <class TBufType>
void RunSetSourcesTest(const EnumTestConfig& config)
{
    const char* const file = kStandardRoutinesFile;
    constexpr LONG kTicks = 17000;
    constexpr LONG ticknum = kTicks - 1;
    TestRecording recording;
    recording.adder->AddRecord(config.mSourceExpressions, kTicks, config.mSampleRates, 0.0);
    DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    recording.Open();

    std::vector<TBufType> vec;
    auto edg1 = recording.Getter();
    UnitTestCheck(CreateEnum(edg1, config), "edg1.CreateEnum(config.mEnumID, config.mArithString)", file, 854);
    UnitTestCheck(GetRecordData(edg1, 0, vec), "edg1.GetRecordData<TBufType>(0,vec)", file, 855);
    auto edg2 = recording.Getter();
    UnitTestCheck(CreateEnum(edg2, config), "edg2.CreateEnum(config.mEnumID, config.mArithString)", file, 858);
    UnitTestCheck(edg2.OpenEnumsWithDefaults(false, ticknum, 0, -1.0), "edg2.SetSources(TickPosition(0,ticknum))",
                  file, 861);
    LONG position = -1;
    EventEnum(edg2, file, 861)->GetPosition(&position);
    const bool posok = position == ticknum;
    std::wostringstream message;
    if (!posok) {
        message << L"Incorrect position after SetSources (" << position << L" instead of " << ticknum
                << L" in record with " << kTicks << L" ticks).";
    }
    UnitTestCheck(posok, "posok", file, 871, KVO::String(message.str()));
    edg2.Stop();
}

template <class TBufType>
void RunOnlineOfflineComparison(const EnumTestConfig& config)
{
    const char* const file = kStandardRoutinesFile;
    const auto numSamples = static_cast<std::int32_t>(config.mNumSamples);
    std::vector<TBufType> vec;
    {
        TestRecording recording;
        recording.adder->AddRecord(config.mSourceExpressions, numSamples, config.mSampleRates, 0.0);
        DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
        recording.Open();
        auto edg = recording.Getter();
        UnitTestCheck(CreateEnum(edg, config), "edg.CreateEnum(config.mEnumID, config.mArithString)", file, 721);
        UnitTestCheck(GetRecordData(edg, 0, vec), "edg.GetRecordData<TBufType>(0,vec)", file, 722);
        UnitTestCheck(vec.size() > 0, "vec.size()>0", file, 723,
                      KVO::String(u"OnlineOffline Comparison needs some events to work with."));
    }
    const std::size_t n = vec.size();

    constexpr LONG kBufferRecords = 20;
    std::vector<TBufType> buf(kBufferRecords);
    LONG count = 0;
    LONG nut = 0;
    HRESULT hr = S_OK;
    std::size_t ndx = 0;
    ReadEvents read{buf.data(), &count, &nut, &hr, static_cast<ULONG>(kBufferRecords * sizeof(TBufType)), nullptr};
    // The end of the record may release more events than one buffer holds: the stop notice reads them all, batch by
    // batch, before the getter lets go of its sources. A batch that repeats for ever stops once there are more
    // events than offline.
    struct Batch {
        std::vector<TBufType> events;
        HRESULT result;
        LONG next;
    };
    std::vector<Batch> released;
    auto readToEnd = [&] {
        if (!read.enumerator) {
            return;
        }
        std::size_t total = 0;
        do {
            read();
            const auto delivered = static_cast<std::size_t>(std::clamp<LONG>(count, 0, kBufferRecords));
            released.push_back({{buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(delivered)}, hr, nut});
            total += delivered;
        } while (hr == S_OK && count == kBufferRecords && nut != kEndOfRecord && total <= n);
    };
    auto compare = [&](const TBufType* events, LONG delivered, int sizeLine, int sameLine) {
        for (LONG i = 0; i < delivered; ++i) {
            const std::size_t at = ndx + static_cast<std::size_t>(i);
            UnitTestCheck(n > at, "vec.size() > ndx+i", file, sizeLine);
            const std::u16string online(EventHelper::text(events[i]).View());
            const std::u16string offline(EventHelper::text(vec[at]).View());
            const std::u16string text = u"Event #" + Digits(std::to_string(at)) +
                                        u" differs between online and offline (" + online + u" vs " + offline + u").";
            UnitTestCheck(EventHelper::same(events[i], vec[at]), "EventHelper::same(buf[i],vec[ndx+i])", file,
                          sameLine, KVO::String(text.c_str()));
        }
    };

    TestRecording recording;
    DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    recording.Open();
    ExtLib::EventEnumDataGetter edg(recording.source.Get(), readToEnd, 0);
    recording.adder->BeginRecord(config.mSourceExpressions, numSamples, config.mSampleRates, 0.0);
    recording.adder->AddTicks(10);
    std::int32_t added = 10;
    CreateEnum(edg, config);
    edg.OpenEnumsWithDefaults(true, 0, 0, RecordTickPeriod(edg, 0));
    const auto events = EventEnum(edg, file, 727);
    read.enumerator = events.Get();
    bool finished = false;
    while (added < numSamples || !finished) {
        hr = events->Next(read.bufferBytes, kEndOfRecord, buf.data(), &count, &nut);
        if (added >= numSamples && !finished) {
            compare(buf.data(), count, 731, 732);
            ndx += static_cast<std::size_t>(std::max<LONG>(count, 0));
            count = 0;
            recording.adder->FinishRecord();
            finished = true;
            // Every batch but the last is checked here; the last goes through the loop's own checks.
            for (std::size_t b = 0; b + 1 < released.size(); ++b) {
                const Batch& batch = released[b];
                UnitTestCheck(batch.result == S_OK || batch.next == kEndOfRecord, "hr==S_OK || nut==kRecordEndOffset",
                              file, 734);
                compare(batch.events.data(), static_cast<LONG>(batch.events.size()), 736, 737);
                ndx += batch.events.size();
            }
            if (!released.empty()) {
                const Batch& last = released.back();
                std::copy(last.events.begin(), last.events.end(), buf.begin());
                count = static_cast<LONG>(last.events.size());
                hr = last.result;
                nut = last.next;
            }
        }
        UnitTestCheck(hr == S_OK || nut == kEndOfRecord, "hr==S_OK || nut==kRecordEndOffset", file, 734);
        if (count < kBufferRecords && !finished) {
            recording.adder->AddTicks(10);
            added += 10;
        }
        compare(buf.data(), count, 736, 737);
        ndx += static_cast<std::size_t>(std::max<LONG>(count, 0));
    }
    const std::u16string message = u"Offline found " + Digits(std::to_string(n)) + u" events, but online found " +
                                   Digits(std::to_string(static_cast<std::int64_t>(ndx))) + u" events!";
    UnitTestCheck(ndx == n, "ndx==vec.size()", file, 740, KVO::String(message.c_str()));
}

void RunNextOfflineTest(const EnumTestConfig& config, std::uint32_t recordSize)
{
    const char* const file = kStandardRoutinesFile;
    const auto numsamples = static_cast<LONG>(config.mNumSamples);
    UnitTestCheck(numsamples > 200, "numsamples>200", file, 103);
    constexpr LONG numbufelems = 5;
    std::vector<std::byte> buffer(static_cast<std::size_t>(numbufelems) * recordSize);
    TestRecording recording;
    recording.adder->AddRecord(config.mSourceExpressions, numsamples, 1000.0, 0.0);
    DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    recording.Open();
    auto edg = recording.Getter();
    CreateEnum(edg, config);
    SetSources(edg, 0, numsamples / 3);
    auto theenum = EventEnum(edg, file, 142);
    const KVO::String badResult(u"Bad HResult from Next.");
    // A call that does not move the position makes no progress; an enumerator that keeps doing so would hold the
    // test for ever.
    constexpr int kStalls = 4;
    const KVO::String stalled(u"Next makes no progress.");
    HRESULT hr = S_OK;
    LONG nut = 0;
    LONG endTick = numsamples - 10;
    for (int stalls = 0;;) {
        const LONG before = nut;
        LONG nRetd = 0;
        hr = theenum->Next(static_cast<ULONG>(buffer.size()), endTick, buffer.data(), &nRetd, &nut);
        UnitTestCheck(hr == S_OK || hr == S_FALSE, "hr==S_OK || hr==S_FALSE", file, 142, badResult);
        UnitTestCheck(nut == kEndOfRecord || hr == S_OK, "nut==kRecordEndOffset || hr==S_OK", file, 143, badResult);
        UnitTestCheck(nut <= endTick || nut == kEndOfRecord, "nut<=endTick || nut==kRecordEndOffset", file, 144,
                      KVO::String(u"Bad nextUnexaminedTick from Next."));
        if (nRetd != numbufelems) {
            if (nut == endTick) {
                break;
            }
            UnitTestCheck(nRetd == numbufelems || nut == endTick || nut == kEndOfRecord,
                          "nRetd == numbufelems || nut == endTick || nut == kRecordEndOffset", file, 145,
                          KVO::String(u"nRetd and nextUnexaminedTick inconsistent in Next."));
        }
        stalls = nut == before ? stalls + 1 : 0;
        UnitTestCheck(stalls < kStalls, "stalls<4", file, 146, stalled);
        if (!(nut < endTick)) {
            break;
        }
    }
    UnitTestCheck(nut == kEndOfRecord || nut == endTick, "nut == kRecordEndOffset || nut == endTick", file, 149,
                  KVO::String(u"Enumerators must be positioned either at endTick or at kRecordEndOffset following a "
                              u"completed call to next."));
    endTick = kEndOfRecord;
    for (int preventinfiniteloop = 0, stalls = 0; nut != kEndOfRecord && nut <= numsamples;) {
        const LONG before = nut;
        LONG nRetd = 0;
        hr = theenum->Next(static_cast<ULONG>(buffer.size()), endTick, buffer.data(), &nRetd, &nut);
        UnitTestCheck(hr == S_OK || hr == S_FALSE, "hr==S_OK || hr==S_FALSE", file, 155, badResult);
        UnitTestCheck(nut == kEndOfRecord || hr == S_OK, "nut==kRecordEndOffset || hr==S_OK", file, 156, badResult);
        if (nut == numsamples) {
            ++preventinfiniteloop;
        }
        UnitTestCheck(preventinfiniteloop < 4, "preventinfiniteloop<4", file, 159,
                      KVO::String(u"Enumerator isn't returning kRecordEndOffset at end of record"));
        stalls = nut == before ? stalls + 1 : 0;
        UnitTestCheck(stalls < kStalls, "stalls<4", file, 160, stalled);
    }
    UnitTestCheck(hr == S_FALSE, "hr == S_FALSE", file, 164,
                  KVO::String(u"Enumerators should return S_FALSE when out of data and not filling."));
    UnitTestCheck(nut == kEndOfRecord, "nut==kRecordEndOffset", file, 165,
                  KVO::String(u"When no more events are going to be available Enumerators are supposed to return "
                              u"kRecordEndOffset as their position. See IEventEnums.idl."));
}

void RunNextOnlineTest(const EnumTestConfig& config, std::uint32_t recordSize)
{
    const char* const file = kStandardRoutinesFile;
    const auto numsamples = static_cast<LONG>(config.mNumSamples);
    UnitTestCheck(numsamples > 200, "numsamples>200", file, 179);
    constexpr LONG numbufelems = 50;
    std::vector<std::byte> buffer(static_cast<std::size_t>(numbufelems) * recordSize);
    TestRecording recording;
    DefineSourceChannels(config.mVirtualChannels, recording.chartData.Get());
    recording.Open();
    recording.adder->BeginRecord(config.mSourceExpressions, numsamples, 1000.0, 0.0);
    recording.adder->AddTicks(100);
    LONG itot = 100;
    ExtLib::EventEnumDataGetter edg(recording.source.Get(), 0);
    CreateEnum(edg, config);
    SetSources(edg, 0, 0);
    const auto theenum = EventEnum(edg, file, 213);
    LONG nRetd = numbufelems;
    LONG nut = 0;
    // Calls that neither deliver anything new nor see new ticks make no progress; an enumerator that keeps doing
    // so would hold the test for ever.
    constexpr int kStalls = 4;
    for (int stalls = 0; itot < numsamples || nRetd != 0;) {
        bool grew = false;
        if (nRetd < numbufelems) {
            recording.adder->AddTicks(100);
            itot += 100;
            grew = true;
        }
        const LONG before = nut;
        const HRESULT hr =
            theenum->Next(static_cast<ULONG>(buffer.size()), kEndOfRecord, buffer.data(), &nRetd, &nut);
        if (hr == S_OK) {
            UnitTestCheck(nut == kEndOfRecord || nut <= itot, "nut==kRecordEndOffset || nut <= itot", file, 217,
                          KVO::String(u"NextUnusedTick returned by Next is bad."));
        } else if (hr == S_FALSE) {
            UnitTestCheck(nut == kEndOfRecord, "hr==S_OK || nut==kRecordEndOffset", file, 216,
                          KVO::String(u"S_FALSE and kRecordEndOffset must go together."));
        } else {
            UnitTestCheck(false, "hr==S_OK || hr==S_FALSE", file, 215, KVO::String(u"Unexpected HResult from Next"));
        }
        stalls = !grew && nut == before ? stalls + 1 : 0;
        UnitTestCheck(stalls < kStalls, "stalls<4", file, 218, KVO::String(u"Next makes no progress."));
    }
    UnitTestCheck(nut <= numsamples || nut == kEndOfRecord, "nut<=numsamples || nut==kRecordEndOffset", file, 220);
    edg.Stop();
    recording.adder->FinishRecord();
}

#define INSTANTIATE_ROUTINES(T)                                                                                   \
    template void RunBounceTest<T>(const EnumTestConfig&, bool);                                                  \
    template void RunDeterministicBounceTest<T>(const EnumTestConfig&);                                           \
    template void RunDeterministicFindTest<T>(const EnumTestConfig&, int);                                        \
    template void RunSetSourcesTest<T>(const EnumTestConfig&);                                                    \
    template void RunFindTest<T>(const EnumTestConfig&);                                                          \
    template void RunOnlineOfflineComparison<T>(const EnumTestConfig&);
INSTANTIATE_ROUTINES(CX::Enum::EventPkStm)
INSTANTIATE_ROUTINES(CX::Enum::EventBCalcBase)
INSTANTIATE_ROUTINES(CX::Enum::EventBCalcMax)
INSTANTIATE_ROUTINES(CX::Enum::EventBCalcBase2)
INSTANTIATE_ROUTINES(CX::Enum::EventFCalc)
#undef INSTANTIATE_ROUTINES

} // namespace Crestmetrics::Enum
