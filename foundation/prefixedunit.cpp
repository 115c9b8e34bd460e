#include "foundation/prefixedunit.h"

#include "foundation/kvostring.h"
#include "foundation/hostlink.h"

#include <cmath>

namespace KVO {

std::u16string PrefixedUnit::Text() const
{
    if (prefix_ == 0) {
        return base_;
    }
    return prefix_ + base_;
}

int PrefixedUnit::PrefixIndex() const
{
    switch (prefix_) {
    case 0:
        return 1;
    case u'u':
        return 6;
    default:
        break;
    }
    for (int index = 2; index <= 11; ++index) {
        if (index != 8 && kSIPrefixLetters[index] == prefix_) {
            return index;
        }
    }
    return 0;
}

void PrefixedUnit::SetPrefixIndex(int index)
{
    prefix_ = 0;
    if (index >= 2 && index <= 11) {
        prefix_ = kSIPrefixLetters[static_cast<std::size_t>(index)];
    }
}

void PrefixedUnit::CreateUnitName(IUnknown** out) const
{
    if (!out) {
        return;
    }
    *out = nullptr;
    IUnitService* service = HostUnitService();
    if (!service) {
        return;
    }
    const String base(base_);
    IKVOString* text = base.GetInterface();
    service->CreateUnitName(PrefixIndex(), text, 0, out);
    text->Release();
}

int SIPrefixExponent(char16_t prefix)
{
    switch (prefix) {
    case u'E': return 18;
    case u'P': return 15;
    case u'T': return 12;
    case u'G': return 9;
    case u'M': return 6;
    case u'k': return 3;
    case u'm': return -3;
    case u'u':
    case kMicroSign: return -6;
    case u'n': return -9;
    case u'p': return -12;
    case u'f': return -15;
    case u'a': return -18;
    default: return 0;
    }
}

double SIPrefixMultiplier(char16_t prefix)
{
    const int exponent = SIPrefixExponent(prefix);
    // Repeated squaring keeps every step an exact power of ten; negative exponents take the reciprocal at the end.
    double result = 1.0;
    double power = 10.0;
    for (unsigned bits = static_cast<unsigned>(std::abs(exponent)); bits != 0; bits >>= 1) {
        if (bits & 1u) {
            result *= power;
        }
        power *= power;
    }
    return exponent < 0 ? 1.0 / result : result;
}

double ToPrefixedUnitFactor(char16_t prefix)
{
    // Indexed by the letter's low five bits ('a' and 'A' are 1).
    static constexpr std::array<double, 32> kLower = [] {
        std::array<double, 32> t{};
        t['a' & 31] = 1e18;
        t['f' & 31] = 1e15;
        t['p' & 31] = 1e12;
        t['n' & 31] = 1e9;
        t['u' & 31] = 1e6;
        t['m' & 31] = 1e3;
        t['k' & 31] = 1e-3;
        return t;
    }();
    static constexpr std::array<double, 32> kUpper = [] {
        std::array<double, 32> t{};
        t['E' & 31] = 1e-18;
        t['P' & 31] = 1e-15;
        t['T' & 31] = 1e-12;
        t['G' & 31] = 1e-9;
        t['M' & 31] = 1e-6;
        return t;
    }();
    if (prefix == 0 || prefix == u'\u00A0') {
        return 1.0;
    }
    if (prefix == kMicroSign) {
        return 1e6;
    }
    // Letters are the ASCII ones only: locale classification has no meaning for UTF-16 units.
    if (prefix >= u'a' && prefix <= u'z') {
        return kLower[prefix & 31];
    }
    if (prefix >= u'A' && prefix <= u'Z') {
        return kUpper[prefix & 31];
    }
    return 0.0;
}

void ApproximateRational(double x, LONG& numerator, LONG& denominator)
{
    constexpr std::int64_t kLimit = 0x7FFFFFFE;
    numerator = 0;
    denominator = 1;
    if (std::isnan(x)) {
        return;
    }
    double r = std::fabs(x);
    // Beyond the limit the integer part alone would not fit: saturate instead of converting out of range.
    if (r > static_cast<double>(kLimit)) {
        numerator = static_cast<LONG>(x > 0 ? kLimit : -kLimit);
        return;
    }
    // Convergents h/k with their predecessors; the terms are 64-bit because a reciprocal can reach 2^31.
    std::int64_t a = static_cast<std::int64_t>(r);
    std::int64_t h = a;
    std::int64_t previousH = 1;
    std::int64_t k = 1;
    std::int64_t previousK = 0;
    for (int term = 0; term < 20; ++term) {
        r -= static_cast<double>(a);
        if (r < 4.656612877414201e-10) { // 2^-31
            break;
        }
        r = 1.0 / r;
        a = static_cast<std::int64_t>(r);
        if (h > 0 && (kLimit - previousH) / h <= a) {
            break;
        }
        if (k > 0 && (kLimit - previousK) / k <= a) {
            break;
        }
        const std::int64_t nextH = a * h + previousH;
        const std::int64_t nextK = a * k + previousK;
        previousH = h;
        previousK = k;
        h = nextH;
        k = nextK;
    }
    numerator = static_cast<LONG>(x > 0 ? h : -h);
    denominator = static_cast<LONG>(k);
}

} // namespace KVO
