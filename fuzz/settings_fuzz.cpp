// The settings over outside input: a settings container read from any bytes, and any setting given any text.
// What is read is written again and must read back the same; a text written by a setting reads back as itself.
#include "fuzzkit.h"

#include "document/paramcatalogue.h"
#include "document/settingsset.h"
#include "foundation/binstream.h"
#include "foundation/xkvo.h"

#include <sstream>

using CX::Doc::SettingsSet;

namespace {

const CX::ParamCatalogue& Catalogue()
{
    static const CX::ParamCatalogue catalogue;
    return catalogue;
}

std::string Written(const SettingsSet& settings)
{
    std::stringbuf buffer;
    {
        KVO::BinOStream out(&buffer);
        settings.Write(out);
        out.Flush();
    }
    return buffer.str();
}

// Reads a container; false when the stream was refused (a bad string record).
bool ReadInto(SettingsSet& settings, const std::string& bytes)
{
    std::stringbuf buffer(bytes, std::ios::in);
    KVO::BinIStream in(&buffer);
    try {
        settings.Read(in);
    } catch (const XKVO&) {
        return false;
    }
    return true;
}

// Every setting of a container whose source channel 1 has a group.
std::vector<std::int32_t> SettingIds(const SettingsSet& settings)
{
    std::vector<std::int32_t> ids;
    for (std::int32_t id = 0; id < 3000; ++id) {
        if (settings.Find(id)) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    SettingsSet settings(&Catalogue());
    std::string bytes = Written(settings);
    seeds.push_back(fuzzkit::Bytes{0});
    seeds.back().insert(seeds.back().end(), bytes.begin(), bytes.end());
    settings.SetLong(2001, 2);
    settings.AddChannel(2);
    settings.SetDouble(1003, 0.25);
    bytes = Written(settings);
    seeds.push_back(fuzzkit::Bytes{2});
    seeds.back().insert(seeds.back().end(), bytes.begin(), bytes.end());
    for (const std::u16string text : {u"0.3", u"1e400", u"-inf", u"t", u"12abc", u"1.79769e+308", u"  -5  "}) {
        seeds.push_back(fuzzkit::TextSeed(static_cast<std::uint8_t>(1 + 2 * seeds.size()), text));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("settings", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    if (mode % 2 == 0) {
        const fuzzkit::Bytes rest = input.Rest();
        SettingsSet settings(&Catalogue());
        ReadInto(settings, std::string(rest.begin(), rest.end()));
        const std::string once = Written(settings);
        SettingsSet again(&Catalogue());
        fuzzkit::Check(ReadInto(again, once), "written settings were refused");
        fuzzkit::Check(Written(again) == once, "written settings read back differently");
        return 0;
    }
    // One container for every input, made once (making one costs more than all the rest), with each setting put
    // back to its default text first, so that an input's result does not depend on the inputs before it.
    static SettingsSet* const settings = [] {
        auto* made = new SettingsSet(&Catalogue());
        made->SetLong(2001, 1);
        made->AddChannel(1);
        return made;
    }();
    static const std::vector<std::int32_t> ids = SettingIds(*settings);
    static const std::vector<KVO::String> defaults = [] {
        std::vector<KVO::String> texts;
        for (const std::int32_t id : ids) {
            texts.push_back(settings->Find(id)->ToText(true));
        }
        return texts;
    }();
    const std::size_t which = (mode / 2) % ids.size();
    // An input may have moved the source channel (2001) to one without a group; the channel settings live in the
    // group of channel 1.
    settings->SetLong(2001, 1);
    CX::Doc::CXSetting* setting = settings->Find(ids[which]);
    setting->FromText(defaults[which], true);
    const bool classic = true; // texts of files and calculations are always classic
    std::u16string text = input.Text16();
    std::replace(text.begin(), text.end(), u'\0', u' ');
    setting->FromText(KVO::String(text.c_str()), classic);
    const KVO::String first = setting->ToText(classic);
    setting->FromText(first, classic);
    const KVO::String second = setting->ToText(classic);
    fuzzkit::Check(std::u16string_view(first.c_str()) == std::u16string_view(second.c_str()),
                   "a setting's own text read back as another value");
    return 0;
}
