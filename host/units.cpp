#include "host/units.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace host {

namespace {

const std::u16string kBases[] = {u"V", u"A", u"s", u"Hz", u"g", u"m", u"Pa", u"W", u"S", u"F", u"Ohm", u"\u03A9",
                                 u"mol", u"L", u"l"};

bool IsBase(const std::u16string& unit)
{
    return std::find(std::begin(kBases), std::end(kBases), unit) != std::end(kBases);
}

} // namespace

UnitParts SplitUnit(const std::u16string& unit)
{
    struct Prefix {
        char16_t letter;
        LONG index;
        double toBase;
    };
    static constexpr std::array<Prefix, 13> kPrefixes{{{u'a', 2, 1e-18}, {u'f', 3, 1e-15}, {u'p', 4, 1e-12},
        {u'n', 5, 1e-9}, {u'u', 6, 1e-6}, {u'\u00B5', 6, 1e-6}, {u'm', 7, 1e-3}, {u'k', 9, 1e3}, {u'M', 10, 1e6},
        {u'G', 11, 1e9}, {u'T', 12, 1e12}, {u'P', 13, 1e15}, {u'E', 14, 1e18}}};
    if (unit.size() >= 2) {
        const std::u16string base = unit.substr(1);
        if (IsBase(base)) {
            for (const Prefix& prefix : kPrefixes) {
                if (unit[0] == prefix.letter) {
                    return {prefix.index, base, prefix.toBase};
                }
            }
        }
    }
    return {1, unit, 1.0};
}

bool IsKnownUnit(const std::u16string& unit) { return IsBase(SplitUnit(unit).base); }

std::u16string KnownBaseUnits()
{
    std::u16string list;
    for (const std::u16string& base : kBases) {
        list += (list.empty() ? u"" : u", ") + base;
    }
    return list;
}

} // namespace host
