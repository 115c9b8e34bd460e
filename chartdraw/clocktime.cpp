#include "chartdraw/clocktime.h"

#include "foundation/localeinfo.h"

#include <charconv>
#include <cmath>

namespace ChartDraw {
namespace {

double Threshold(int decimals) { return 0.51 / std::pow(10.0, decimals); }

// Fixed notation in the C locale, then the user's decimal point.
std::u16string Fixed(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::u16string text(buffer, result.ptr);
    const char16_t* point = LocaleInfo::Current().decimal;
    for (char16_t& c : text) {
        if (c == u'.') {
            c = point[0] ? point[0] : u'.';
        }
    }
    return text;
}

// Drops trailing zeros, keeping one digit after the decimal point; without `keepPointZero` a remaining ".0" too.
void TrimZeros(std::u16string& text, std::size_t from, bool keepPointZero)
{
    const char16_t point = LocaleInfo::Current().decimal[0] ? LocaleInfo::Current().decimal[0] : u'.';
    const std::size_t at = text.find(point, from);
    if (at == std::u16string::npos) {
        return;
    }
    std::size_t end = text.size();
    while (end > at + 2 && text[end - 1] == u'0') {
        --end;
    }
    text.resize(end);
    if (!keepPointZero && end == at + 2 && text[at + 1] == u'0') {
        text.resize(at);
    }
}

std::u16string TwoDigits(int value)
{
    std::u16string text;
    text += static_cast<char16_t>(u'0' + value / 10 % 10);
    text += static_cast<char16_t>(u'0' + value % 10);
    return text;
}

std::u16string Number(long value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, result.ptr);
}

// Rounds m to 1, 2, 5 (or the given third limit) or 10 (or the last value) times a power of ten.
double RoundStep(double value, double third, double fourth, double last, int& mantissa)
{
    const double e = std::floor(std::log10(value));
    const double scale = std::pow(10.0, e);
    const double m = value / scale + 0.5;
    double chosen = last;
    if (m <= 1) {
        chosen = 1;
    } else if (m <= 2) {
        chosen = 2;
    } else if (m <= third) {
        chosen = third;
    } else if (fourth > 0 && m <= fourth) {
        chosen = fourth;
    }
    mantissa = static_cast<int>(chosen);
    return chosen * scale;
}

} // namespace

ClockTime::ClockTime() : roundingThreshold(Threshold(6)) {}

void ClockTime::Init(std::uint32_t formatWord, double start, double startOffset, double origin, double originOffset,
                     bool absolute, double value)
{
    format = formatWord;
    const std::uint32_t mode = formatWord & 0xFF;
    double t = value;
    if (mode == kTimeModeRelative) {
        textFlags = kTextDuration;
        if (!absolute) {
            t = std::isfinite(start) && std::isfinite(startOffset) && std::isfinite(origin) &&
                        std::isfinite(originOffset)
                    ? (start + startOffset) - (origin + originOffset) + value
                    : start - origin + value;
        }
    } else if (mode == kTimeModeElapsed) {
        textFlags = kTextDuration;
    } else if (mode == kTimeModeClock) {
        textFlags = 0;
        const bool universal = (formatWord & kTimeUniversal) != 0;
        if (!LocaleInfo::Current().clock24 && !universal) {
            textFlags |= kText12Hour;
        }
        if (!absolute) {
            t = universal && std::isfinite(startOffset) ? start + startOffset + value : start + value;
        }
    }
    SetSeconds(t);
}

void ClockTime::SetSeconds(double t)
{
    carry = 0;
    if (Plain()) {
        seconds = t;
        negative = false;
        minutes = hours = 0;
        return;
    }
    negative = t < 0;
    double a = std::fabs(t);
    seconds = std::fmod(a, 60.0);
    if (roundingThreshold > 60.0 - seconds) {
        carry = negative ? -(60.0 - seconds) : 60.0 - seconds;
        seconds = 0;
        a += 0.75;
    }
    minutes = static_cast<int>(std::floor(std::fmod(a / 60.0, 60.0)));
    hours = static_cast<int>(std::floor(a / 3600.0));
}

double ClockTime::TotalSeconds() const
{
    if (Plain()) {
        return seconds;
    }
    const int h = textFlags & kTextWrap24 ? hours % 24 : hours;
    const double total = (minutes + h * 60.0) * 60.0 + seconds - std::fabs(carry);
    return negative ? -total : total;
}

void ClockTime::SetDecimals(int count)
{
    if (count == decimals) {
        return;
    }
    const double total = TotalSeconds();
    decimals = count;
    roundingThreshold = Threshold(count);
    SetSeconds(total);
}

void ClockTime::RoundIntoNextMinute()
{
    if (roundingThreshold > 60.0 - seconds) {
        carry = negative ? -(60.0 - seconds) : 60.0 - seconds;
        ++minutes;
        seconds = 0;
        if (minutes >= 60) {
            minutes = 0;
            ++hours;
        }
    }
}

void ClockTime::AddSeconds(double d)
{
    if (Plain()) {
        seconds += d;
        return;
    }
    seconds -= std::fabs(carry);
    carry = 0;
    if (negative) {
        d = -d;
    }
    seconds += d;
    if (d >= 0) {
        const long whole = static_cast<long>(std::floor(seconds));
        if (whole >= 60) {
            minutes += static_cast<int>(whole / 60);
            seconds -= static_cast<double>(whole / 60) * 60.0;
        }
        if (minutes >= 60) {
            hours += minutes / 60;
            minutes %= 60;
        }
    } else if (seconds < 0) {
        // Crossing zero: the value changes sign, so it is split again from its total rather than borrowed field by
        // field (borrowing leaves negative minutes and seconds behind).
        const double magnitude = (minutes + hours * 60.0) * 60.0 + seconds;
        if (magnitude < 0) {
            const bool wasNegative = negative;
            SetSeconds(-magnitude);
            negative = !wasNegative && magnitude != 0;
            if (carry != 0) {
                carry = negative ? -std::fabs(carry) : std::fabs(carry);
            }
            return;
        }
        const double total = magnitude;
        hours = static_cast<int>(std::floor(total / 3600.0));
        minutes = static_cast<int>(std::floor(std::fmod(total, 3600.0) / 60.0));
        seconds = total - hours * 3600.0 - minutes * 60.0;
    }
    RoundIntoNextMinute();
}

std::u16string ClockTime::Text(std::uint32_t flags) const
{
    const LocaleInfo& locale = LocaleInfo::Current();
    if (Plain()) {
        std::u16string text = Fixed(seconds, decimals);
        if (!(flags & kTextKeepZeros)) {
            TrimZeros(text, 0, true);
        }
        return text;
    }
    if (flags & kTextDuration) {
        flags &= ~(kTextWrap24 | kText12Hour);
    } else {
        flags |= kTextWrap24;
    }
    const std::uint32_t mode = format & 0xFF;
    const bool clockText = !(format & kTimeMilliseconds) || mode == kTimeModeClock;
    std::u16string text;
    std::size_t numberStart = 0;
    if (clockText && (format & kTimeTotalSeconds)) {
        text = Fixed(TotalSeconds(), decimals);
    } else if (clockText) {
        if (negative && TotalSeconds() != 0) {
            text += u'-';
        }
        int h = hours;
        if (flags & kTextWrap24) {
            h %= 24;
        }
        if (flags & kText12Hour) {
            h = h % 12 == 0 ? 12 : h % 12;
        }
        const std::u16string separator = locale.timeSeparator[0] ? locale.timeSeparator : u":";
        bool wroteMinutes = false;
        if (flags & kTextHoursMinutes) {
            text += Number(h) + separator + TwoDigits(minutes) + separator;
            wroteMinutes = true;
        } else if (flags & kTextDuration) {
            const bool units = (flags & kTextUnitSuffix) != 0;
            const std::u16string hourSeparator = units ? u"h" : separator;
            const std::u16string minuteSeparator = units ? u"m" : separator;
            if (hours != 0) {
                text += Number(h) + hourSeparator;
            }
            if (hours != 0 || minutes != 0) {
                text += (hours != 0 ? TwoDigits(minutes) : Number(minutes)) + minuteSeparator;
                wroteMinutes = true;
            }
        } else {
            text += Number(h) + separator + TwoDigits(minutes) + separator;
            wroteMinutes = true;
        }
        if (wroteMinutes && seconds < 9.999999) {
            text += u'0';
        }
        numberStart = text.size();
        text += Fixed(seconds > 0.000001 ? seconds : 0.0, decimals);
    } else {
        text = Fixed(TotalSeconds() * 1000.0, decimals);
    }
    if (!(flags & kTextKeepZeros)) {
        TrimZeros(text, numberStart, (flags & kTextHoursMinutes) != 0);
    }
    if (flags & kTextUnitSuffix) {
        text += u's';
    }
    if (flags & kText12Hour) {
        text += u' ';
        text += (hours % 24) >= 12 ? locale.pmDesignator : locale.amDesignator;
    }
    if (flags & kTextUnitLabel) {
        if (!clockText) {
            text += u" ms";
        } else if ((minutes == 0 && hours == 0 && (flags & kTextDuration)) || (format & kTimeTotalSeconds)) {
            text += u" s";
        }
    }
    if ((flags & kTextUniversal) && (format & kTimeUniversal) && !(flags & kTextDuration)) {
        text += u" UT";
    }
    return text;
}

LabelSpacing LabelSpacing::Compute(double width, double secondsPerPixel)
{
    LabelSpacing s;
    if (!(secondsPerPixel > 0) || !std::isfinite(secondsPerPixel) || !(width > 0)) {
        return s;
    }
    const double span = std::trunc(width * 18.001) * secondsPerPixel;
    if (!(span > 0) || !std::isfinite(span)) {
        return s;
    }
    if (span < 15) {
        s.step = RoundStep(span, 5, 0, 10, s.mantissa);
    } else if (span < 900) {
        s.step = RoundStep(span / 60.0, 5, 0, 10, s.mantissa) * 60.0;
        s.clock = s.step < 61;
    } else if (span < 64800) {
        if (span < 3601) {
            s.step = 3600;
            s.mantissa = 1;
            s.clock = true;
        } else {
            s.step = RoundStep(span / 3600.0, 6, 12, 24, s.mantissa) * 3600.0;
            s.clock = s.mantissa >= 6;
        }
    } else if (span < 86401) {
        s.step = 86400;
        s.mantissa = 1;
        s.clock = true;
    } else {
        s.step = RoundStep(span / 86400.0, 5, 0, 10, s.mantissa) * 86400.0;
    }
    s.pixelsPerStep = s.step / secondsPerPixel;
    s.subdivisions = s.clock ? 6 : s.mantissa == 2 ? 4 : 5;
    s.minorPerMajor = std::trunc(3 * width) > s.pixelsPerStep / s.subdivisions ? 2 : s.subdivisions;
    s.pixelsPerMinor = s.pixelsPerStep / s.minorPerMajor;
    s.valid = std::isfinite(s.pixelsPerMinor) && s.pixelsPerMinor > 0;
    return s;
}

int LabelSpacing::StepsAcross(double width) const
{
    return valid ? static_cast<int>(std::trunc(width / pixelsPerStep + 1.0)) : 0;
}

} // namespace ChartDraw
