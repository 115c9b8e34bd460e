// Units of measure with an optional SI prefix, the SI prefix tables, and the fraction approximation of a real number.
#pragma once

#include "platform/com/unknown.h"

#include <array>
#include <string>

namespace KVO {

inline constexpr char16_t kMicroSign = u'\u00B5';

// The SI prefixes by host prefix index 0 to 15. Index 0 means "no prefix set" and shows "?"; indexes 1, 8 and 15
// have no letter. The factor turns a value in base units into the value in the prefixed unit.
inline constexpr std::array<char16_t, 16> kSIPrefixLetters = {
    u'?', 0, u'a', u'f', u'p', u'n', kMicroSign, u'm', 0, u'k', u'M', u'G', u'T', u'P', u'E', 0};
inline constexpr std::array<double, 16> kSIPrefixFactors = {
    0.0, 1.0, 1e18, 1e15, 1e12, 1e9, 1e6, 1e3, 1.0, 1e-3, 1e-6, 1e-9, 1e-12, 1e-15, 1e-18, 0.0};

// A host prefix index given to the PrefixedUnit constructor (kept apart from prefix characters).
enum class UnitPrefixIndex : int {};

class PrefixedUnit {
public:
    PrefixedUnit() = default;
    explicit PrefixedUnit(std::u16string base) : base_(std::move(base)) {}
    PrefixedUnit(std::u16string base, char16_t prefix) : base_(std::move(base)), prefix_(prefix) {}
    PrefixedUnit(std::u16string base, UnitPrefixIndex index) : base_(std::move(base))
    {
        SetPrefixIndex(static_cast<int>(index));
    }

    const std::u16string& Base() const { return base_; }
    void SetBase(std::u16string base) { base_ = std::move(base); }
    // One UTF-16 unit; 0 means no prefix. "u" and the micro sign both mean micro.
    char16_t Prefix() const { return prefix_; }
    void SetPrefix(char16_t prefix) { prefix_ = prefix; }

    // The prefix followed by the base text ("mV"); the base text alone without a prefix.
    std::u16string Text() const;

    // The host's numbering: none 1, a 2, f 3, p 4, n 5, u/micro 6, m 7, k 9, M 10, G 11, any other 0.
    int PrefixIndex() const;
    // The inverse: 6 gives the micro sign; 1, 8 and unknown indexes give no prefix.
    void SetPrefixIndex(int index);

    // Asks the host's unit service for a unit-name object; *out stays null without the service.
    void CreateUnitName(IUnknown** out) const;

    // Same base text unit for unit and the same prefix unit ("u" and the micro sign differ).
    friend bool operator==(const PrefixedUnit&, const PrefixedUnit&) = default;

private:
    std::u16string base_;
    char16_t prefix_ = 0;
};

// The power of ten of a prefix: E 18 … a -18; 0 for any other unit, 0 included.
int SIPrefixExponent(char16_t prefix);
// 10 to the exponent of the prefix; 1.0 for unknown characters.
double SIPrefixMultiplier(char16_t prefix);
// The factor that turns a value in base units into the value in the prefixed unit ("k" gives 0.001); 1.0 for no
// prefix or a no-break space, 0.0 for anything that is not a known prefix letter.
double ToPrefixedUnitFactor(char16_t prefix);

// The continued-fraction approximation of x by a fraction of 32-bit integers (at most 20 terms, no part above
// 0x7FFFFFFE; the numerator carries the sign). NaN and tiny values give 0/1; values whose magnitude is above
// 0x7FFFFFFE, infinities included, give +-0x7FFFFFFE / 1.
void ApproximateRational(double x, LONG& numerator, LONG& denominator);

} // namespace KVO
