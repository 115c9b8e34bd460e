// Selection lists: texts such as "1,3,5-9" (items and ranges of item numbers, separated by the user's list
// separator) or a word meaning all, turned into a bitset whose bit i stands for item i + 1.
#pragma once

#include "foundation/bitset.h"
#include "foundation/kvostring.h"

#include <boost/spirit/include/classic_core.hpp>

#include <cstdint>
#include <string_view>

namespace KVO {

// Item numbers above this are never selected when the number of items is not known.
inline constexpr std::uint32_t kMaxSelectionItems = 1u << 24;

// The working state of one parse: the bits set so far and the highest item number that may be selected.
struct SelectionParse {
    Bitset bits;
    std::uint32_t lastItem = kMaxSelectionItems;
};

// The grammar of a selection list; no blanks are skipped anywhere.
//   number: decimal digits; range: number "-" number; item: a range, else a number;
//   list: item, then any number of (list separator, item).
// Parsing stops at the first character that does not fit, keeping what matched before it.
struct bitsetparser : boost::spirit::classic::grammar<bitsetparser> {
    // A number item selects its item. Item 0 and items above the last one select nothing.
    struct set_bitpos {
        SelectionParse& state;
        void operator()(const char16_t* first, const char16_t* last) const;
    };
    // A range selects the items from its first number to its last; when the first is not below the last only the
    // two ends, as number items.
    struct set_range {
        SelectionParse& state;
        void operator()(const char16_t* first, const char16_t* last) const;
    };

    bitsetparser(SelectionParse& parse, std::u16string_view listSeparator)
        : state(parse), separator(listSeparator)
    {
    }

    template <class ScannerT>
    struct definition {
        explicit definition(const bitsetparser& self)
        {
            using namespace boost::spirit::classic;
            digits = +range_p(u'0', u'9');
            range = (digits >> ch_p(u'-') >> digits)[set_range{self.state}];
            number = digits[set_bitpos{self.state}];
            item = range | number;
            list = item >> *(str_p(self.separator.data(), self.separator.data() + self.separator.size()) >> item);
        }
        boost::spirit::classic::rule<ScannerT> digits, range, number, item, list;
        const boost::spirit::classic::rule<ScannerT>& start() const { return list; }
    };

    SelectionParse& state;
    std::u16string_view separator;
};

// The selection of everything: all stored words and the fill word set.
Bitset AllSelection();

// Parses a selection list. When the text holds the all-keyword anywhere (letter case aside) everything is
// selected; an empty keyword stands for DefaultAllKeyword(), and when that is empty too no text means all.
// `itemCount` caps the item numbers when the caller knows how many items there are (0: not known).
Bitset ParseSelectionList(const char16_t* text, const String& allKeyword, std::uint32_t itemCount = 0);

// The host's word for all (string 22033 of the host's string table), loaded once for the process.
String DefaultAllKeyword();

} // namespace KVO
