// The positional format stream over any format text and arguments: the result is assembled from the format's
// literals and the arguments only.
#include "fuzzkit.h"

#include "foundation/formatstream.h"

namespace {

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    for (const std::u16string text : {u"Unable to export to file '%1'.", u"%2 then %1", u"%1 and %1", u"100%% of %3",
                                      u"%20%1%%2"}) {
        seeds.push_back(fuzzkit::TextSeed(3, text));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("formatstream", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const int arguments = input.Byte() % 24;
    const std::u16string format = input.Text16();
    KVO::OFormatStringStream stream{KVO::String(format.c_str())};
    std::size_t argumentUnits = 0;
    for (int i = 0; i < arguments; ++i) {
        if (i % 3 == 2) {
            stream << 1234.5;
            argumentUnits += 6;
        } else {
            const std::u16string argument(static_cast<std::size_t>(i + 1), static_cast<char16_t>(u'a' + i));
            stream << argument.c_str();
            argumentUnits += argument.size();
        }
    }
    const KVO::String result = stream.str();
    const std::size_t length = std::char_traits<char16_t>::length(result.c_str());
    // Every argument lands at most once for each placeholder of its number, and there are at most as many
    // placeholders as the format has "%" signs.
    const auto percents = static_cast<std::size_t>(std::count(format.begin(), format.end(), u'%'));
    fuzzkit::Check(length <= format.size() + percents * argumentUnits, "the result is longer than its parts");
    return 0;
}
