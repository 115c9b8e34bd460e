// The selection-list parser over any text, with and without a cap on the item numbers.
#include "fuzzkit.h"

#include "foundation/selectionlist.h"

namespace {

bool SameBits(const KVO::Bitset& a, const KVO::Bitset& b)
{
    const std::uint32_t words = std::max(a.WordCount(), b.WordCount());
    if (a.FillWord() != b.FillWord()) {
        return false;
    }
    for (std::uint32_t word = 0; word < words; ++word) {
        if (a.Word(word) != b.Word(word)) {
            return false;
        }
    }
    return true;
}

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    for (const std::u16string text : {u"1,3-5,7", u"all", u"0-3,31-33", u"5-,99999999999", u"1;2"}) {
        seeds.push_back(fuzzkit::TextSeed(0, text));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("selection", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const std::uint32_t cap = input.Byte();
    std::u16string text = input.Text16();
    std::replace(text.begin(), text.end(), u'\0', u' '); // the parser reads up to the first NUL
    const KVO::String all(u"all");
    const KVO::Bitset capped = KVO::ParseSelectionList(text.c_str(), all, cap);
    const KVO::Bitset free = KVO::ParseSelectionList(text.c_str(), all);
    fuzzkit::Check(SameBits(free, KVO::ParseSelectionList(text.c_str(), all)), "two parses of one text differ");
    // A cap only ever removes items; the keyword anywhere selects everything whatever else the text says.
    if (cap != 0 && capped.FillWord() == 0) {
        for (std::uint32_t word = 0; word < capped.WordCount(); ++word) {
            fuzzkit::Check((capped.Word(word) & ~free.Word(word)) == 0,
                           "the capped selection holds an item the free one lacks");
        }
    }
    const std::u16string withKeyword = text + u"all";
    fuzzkit::Check(SameBits(KVO::ParseSelectionList(withKeyword.c_str(), all), KVO::AllSelection()),
                   "the keyword did not select everything");
    return 0;
}
