#include "tableview/tvf/gridcells.h"

#include <charconv>
#include <climits>
#include <locale>
#include <sstream>

namespace TVF_Grid {

int UniformRowPosCursor::Next()
{
    top_ = bottom_;
    bottom_ += rowHeight_;
    ++row_.Index;
    return bottom_;
}

int UniformRowPosCursor::Advance(int n)
{
    const int distance = n * rowHeight_;
    top_ += distance;
    bottom_ += distance;
    row_.Index += n;
    return distance;
}

std::uint32_t TVF_CellUint32Data::Read(const KVO::String& text)
{
    std::istringstream in(text.Ansi());
    in.imbue(std::locale::classic());
    long long value = 0;
    // A text without a number (or beyond 32 bits) reads as the no-number value, not as 0.
    if (!(in >> value) || value < INT32_MIN || value > UINT32_MAX) {
        return kNoNumber;
    }
    return static_cast<std::uint32_t>(value);
}

void TVF_CellUint32Data::SetValue(std::uint32_t value)
{
    value_ = value;
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::int32_t>(value)).ptr;
    std::u16string text(digits, end);
    text_ = KVO::String(text);
}

} // namespace TVF_Grid
