// The host's calculation evaluator over any text: a refusal that names a place within the text, or calculations
// that run over a short recording; nothing crashes, and an accepted text is accepted again.
#include "fuzzkit.h"

#include "frame/module.h"
#include "host/datasource.h"
#include "host/host.h"
#include "host/hoststring.h"

namespace {

host::Host* theHost = nullptr;
host::DataSource* theSource = nullptr;

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    for (const std::u16string text :
         {u"cappeakdet(ch1, 0.3)", u"CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3)))))",
          u"pspeakdet( ch1, erstimdet( ch2, 0.0005, 1, 10, 10, 1, 0, 0, 0, 0) , 0, 100, 0, 0, 0, 0) ",
          u"calcbase(ch1, vch1, 0, 0, -1, -1)", u"selector(ch3, 5)", u"cappeakdet(ch1, , 3)", u"erstimsob( 5, 0)"}) {
        seeds.push_back(fuzzkit::TextSeed(0, text));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("calctext", Seeds);
    theHost = new host::Host;
    theHost->Start();
    DllRegisterClassObjects(static_cast<ICAFFramework*>(&theHost->GetFramework()));
    // Two short blocks: a train of pulses on channel 1, stimuli on channel 2, stored events as channel 3.
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->AddChannel(u"Stim", u"V");
    for (int block = 0; block < 2; ++block) {
        std::vector<float> vm(400, -70.0f);
        std::vector<float> stim(400, 0.0f);
        for (int t = 0; t < 400; ++t) {
            vm[t] += (t % 97 < 5) ? 60.0f * static_cast<float>(5 - t % 97) : 0.01f * static_cast<float>(t % 7);
            stim[t] = (t % 97 == 90) ? 5.0f : 0.0f;
        }
        document->SetSamples(document->AddBlock(block == 0 ? 0.0005 : 0.001), 0, vm);
        document->SetSamples(block, 1, stim);
    }
    theSource = host::DataSource::Create(*theHost, document).Detach();
    struct Event16 {
        std::int32_t tick;
        float offset;
        double value;
    };
    const std::vector<Event16> events{{10, 0.0f, 1.0}, {200, 0.5f, 2.0}};
    theSource->AddEventChannel(u"marks", {host::EventArray::Of(events), host::EventArray::Of(events)});
    theSource->SetVirtualChannel(0, {host::EventArray::Of(events)});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const bool run = (input.Byte() & 1) != 0;
    std::u16string text = input.Text16();
    std::replace(text.begin(), text.end(), u'\0', u' ');

    platform::ComPtr<IChannelData> channelData;
    theSource->QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> calc;
    fuzzkit::Check(theHost->Evaluator().CreateInstance(channelData.Get(), calc.Out()) == S_OK, "no evaluator");
    auto string = host::MakeString(text);
    DWORD flags = 0;
    const HRESULT hr = calc->Parse(string.Get(), &flags);
    const auto& error = static_cast<host::CalcEvaluator*>(calc.Get())->LastError();
    if (hr != S_OK) {
        fuzzkit::Check(error.has_value(), "a refusal without a reason");
        fuzzkit::Check(error->position >= 1 && error->position <= text.size() + 1, "a refusal outside the text");
        return 0;
    }
    fuzzkit::Check(!error.has_value(), "an accepted text with a reason to refuse it");
    fuzzkit::Check(calc->Parse(string.Get(), &flags) == S_OK, "an accepted text refused the second time");
    if (!run) {
        return 0;
    }
    for (LONG block = 0; block < 2; ++block) {
        if (FAILED(calc->SetSources(block, 0, nullptr, nullptr, block == 0 ? 0.0005 : 0.001, 0))) {
            continue;
        }
        calc->SeekStart(0);
        platform::ComPtr<IEnumEventEx> events;
        calc->QueryInterface(IID_IEnumEventEx, events.OutVoid());
        LONG eventSize = 0;
        if (events && SUCCEEDED(events->GetEventSize(&eventSize)) && eventSize > 0 && eventSize <= 4096) {
            std::vector<std::uint64_t> buffer((8 * static_cast<std::size_t>(eventSize) + 7) / 8);
            for (int reads = 0; reads < 200; ++reads) {
                LONG count = 0;
                LONG next = 0;
                if (events->Next(8 * static_cast<ULONG>(eventSize), -1, buffer.data(), &count, &next) != S_OK) {
                    break;
                }
            }
        }
        calc->ReleaseSources();
    }
    return 0;
}
