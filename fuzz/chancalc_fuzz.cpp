// The channel calculation's settings text from outside: whatever a text leaves in the settings (read whole or
// refused part-way) is within the values' ranges, is written as a text that reads back whole as the same text, and
// gives an output scaling that is finite and not empty. Reading the text directly and through a host text source
// agree.
#include "fuzzkit.h"

#include "document/chancalc.h"
#include "host/channelcalchost.h"

#include <cmath>

using CX::ChanCalc::SettingsCOM;

namespace {

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    SettingsCOM settings(nullptr, 3);
    seeds.push_back(fuzzkit::TextSeed(0, settings.ToText()));
    settings.ParameterCode = 58;
    settings.ScaleTop = 1e24f;
    settings.ScaleBottom = -3.40282e38f;
    settings.DecimalPlaces = 0;
    settings.AutoScale = false;
    settings.Channel = -2147483647 - 1;
    seeds.push_back(fuzzkit::TextSeed(1, settings.ToText()));
    settings.ScaleTop = 1000.0f;
    settings.ScaleBottom = 1000.0f;
    settings.ParameterCode = 0;
    settings.DecimalPlaces = 6;
    settings.Channel = 2147483647;
    seeds.push_back(fuzzkit::TextSeed(2, settings.ToText()));
    settings.ScaleTop = 1.17549e-38f;
    settings.ScaleBottom = -1.4013e-45f;
    const std::u16string text = settings.ToText();
    seeds.push_back(fuzzkit::TextSeed(3, text));
    seeds.push_back(fuzzkit::TextSeed(4, text.substr(0, text.size() - 1)));
    return seeds;
}

void CheckRanges(const SettingsCOM& settings)
{
    fuzzkit::Check(settings.ParameterCode >= 0 && settings.ParameterCode <= 58, "parameter code out of range");
    fuzzkit::Check(settings.DecimalPlaces >= 0 && settings.DecimalPlaces <= 6, "decimal places out of range");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("chancalc", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    std::u16string text = input.Text16();
    if (mode % 2 == 1) {
        // A NUL ends a host's text.
        text = text.substr(0, text.find(u'\0'));
    }

    platform::ComPtr<SettingsCOM> settings(new SettingsCOM(nullptr, 0));
    const HRESULT result = settings->FromText(text);
    fuzzkit::Check(result == S_OK || result == E_FAIL, "a load answered neither S_OK nor E_FAIL");
    CheckRanges(*settings.Get());

    if (mode % 2 == 1) {
        platform::ComPtr<SettingsCOM> loaded(new SettingsCOM(nullptr, 0));
        // Held through its interface, as a settings object is handed it: g++ takes the inlined last release of the
        // class itself for a free of a pointer into the object (-Wfree-nonheap-object).
        const auto source = platform::ComPtr<IHostTextSource>::Adopt(host::TextSource::Create(text).Detach());
        fuzzkit::Check(loaded->Load(source.Get()) == result, "loading through a host text source answered otherwise");
        fuzzkit::Check(loaded->ToText() == settings->ToText(), "loading through a host text source read otherwise");
    }

    // Whatever the settings hold is written as a text that reads back whole, as the same text.
    const std::u16string written = settings->ToText();
    platform::ComPtr<SettingsCOM> again(new SettingsCOM(nullptr, 0));
    fuzzkit::Check(again->FromText(written) == S_OK, "the settings' own text was refused");
    fuzzkit::Check(again->ToText() == written, "the settings' own text read back as another");
    fuzzkit::Check(again->ParameterCode == settings->ParameterCode && again->DecimalPlaces == settings->DecimalPlaces &&
                       again->AutoScale == settings->AutoScale && again->Channel == settings->Channel,
                   "a whole value changed on the way through its text");

    // The output scaling of any settings is finite and spans a range (a top below the bottom turns it over).
    float top = settings->ScaleTop;
    float bottom = settings->ScaleBottom;
    CX::ChanCalc::WidenEmptyRange(top, bottom);
    const CX::ChanCalc::OutputScaling scaling = CX::ChanCalc::ScaleOutput(settings->DecimalPlaces, false, top, bottom);
    fuzzkit::Check(std::isfinite(scaling.record.scale) && scaling.record.scale != 0.0, "units per code not usable");
    fuzzkit::Check(std::isfinite(scaling.record.offset) && std::isfinite(scaling.gain) && std::isfinite(scaling.offset),
                   "the scaling is not finite");
    return 0;
}
