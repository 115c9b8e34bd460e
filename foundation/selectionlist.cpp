#include "foundation/selectionlist.h"

#include "foundation/localeinfo.h"
#include "foundation/resourcestring.h"
#include "platform/win/codepage.h"

#include <algorithm>
#include <string>

namespace KVO {
namespace {
constexpr UINT kAllKeywordId = 22033;

// The value of a run of digits, saturated at 32 bits as the run-time's conversion does.
std::uint32_t NumberValue(const char16_t* first, const char16_t* last)
{
    std::uint64_t value = 0;
    for (; first != last; ++first) {
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(*first - u'0'), 0x7FFFFFFF);
    }
    return static_cast<std::uint32_t>(value);
}

// Sets the bits of items `from` to `to` (both included, 1-based, within 1 and the last item), a word at a time.
void SelectItems(SelectionParse& state, std::uint32_t from, std::uint32_t to)
{
    from = std::max<std::uint32_t>(from, 1);
    to = std::min(to, state.lastItem);
    if (from > to) {
        return;
    }
    const std::uint32_t firstBit = from - 1;
    const std::uint32_t lastBit = to - 1;
    state.bits.WordAt(lastBit / 32); // grow once
    for (std::uint32_t word = firstBit / 32; word <= lastBit / 32; ++word) {
        const std::uint32_t low = word == firstBit / 32 ? firstBit % 32 : 0;
        const std::uint32_t high = word == lastBit / 32 ? lastBit % 32 : 31;
        const std::uint32_t mask = (high == 31 ? 0xFFFFFFFFu : (2u << high) - 1) & ~((1u << low) - 1);
        state.bits.WordAt(word) |= mask;
    }
}

}

void bitsetparser::set_bitpos::operator()(const char16_t* first, const char16_t* last) const
{
    const std::uint32_t n = NumberValue(first, last);
    SelectItems(state, n, n);
}

void bitsetparser::set_range::operator()(const char16_t* first, const char16_t* last) const
{
    const char16_t* dash = std::find(first, last, u'-');
    const std::uint32_t from = NumberValue(first, dash);
    const std::uint32_t to = NumberValue(dash + 1, last);
    if (from < to) {
        SelectItems(state, from, to);
    } else {
        SelectItems(state, from, from);
        SelectItems(state, to, to);
    }
}

Bitset AllSelection() { return Bitset(BitsetRep::Create(BitsetRep::kMinWords, 0xFFFFFFFFu)); }

Bitset ParseSelectionList(const char16_t* text, const String& allKeyword, std::uint32_t itemCount)
{
    const std::u16string_view input = text ? std::u16string_view(text) : std::u16string_view();
    const String keyword = allKeyword.IsEmpty() ? DefaultAllKeyword() : allKeyword;
    // Letter case as the classic C locale knows it. An empty keyword would be found in every text.
    if (!keyword.IsEmpty() &&
        platform::AsciiLower(input).find(platform::AsciiLower(keyword.View())) != std::u16string::npos) {
        return AllSelection();
    }
    SelectionParse state;
    if (itemCount > 0) {
        state.lastItem = std::min(itemCount, kMaxSelectionItems);
    }
    const bitsetparser grammar(state, KVOLocale::GetListSeparator());
    boost::spirit::classic::parse(input.data(), input.data() + input.size(), grammar);
    return state.bits;
}

String DefaultAllKeyword()
{
    static const String keyword = LoadResourceString(nullptr, kAllKeywordId, true);
    return keyword;
}

} // namespace KVO
