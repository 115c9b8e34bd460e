// The user's number and time conventions: one process-wide record of separators and designators, the global C++
// locale it installs (the user's decimal point without digit grouping, and a time reader that also accepts
// durations), and number-to-text helpers that follow it.
#pragma once

#include "foundation/kvostring.h"

#include <ctime>
#include <iosfwd>
#include <locale>
#include <string>

template <class CharT>
class CRTBug_UserRadix_NoThousandsSep : public std::numpunct<CharT> {
public:
    CRTBug_UserRadix_NoThousandsSep(CharT decimalPoint, CharT thousandsSep, std::size_t refs = 0)
        : std::numpunct<CharT>(refs), decimal_(decimalPoint), thousands_(thousandsSep)
    {
    }

protected:
    CharT do_decimal_point() const override { return decimal_; }
    CharT do_thousands_sep() const override { return thousands_; }
    std::string do_grouping() const override { return {}; }

private:
    CharT decimal_;
    CharT thousands_;
};

// The user's numeric punctuation with digit grouping switched off.
template <class CharT>
class NoThousandsSep : public CRTBug_UserRadix_NoThousandsSep<CharT> {
public:
    explicit NoThousandsSep(std::size_t refs = 0);
};

namespace KVO {
// Reads times that may be durations (hours beyond 23) or minutes and seconds before a decimal point, and dates in
// the user's field order with the user's date separator.
template <class CharT>
class time_get : public std::time_get<CharT> {
public:
    using iter_type = typename std::time_get<CharT>::iter_type;
    using dateorder = typename std::time_base::dateorder;
    explicit time_get(std::size_t refs = 0) : std::time_get<CharT>(refs) {}

protected:
    dateorder do_date_order() const override;
    iter_type do_get_time(iter_type begin, iter_type end, std::ios_base& stream, std::ios_base::iostate& state,
                          std::tm* time) const override;
    iter_type do_get_date(iter_type begin, iter_type end, std::ios_base& stream, std::ios_base::iostate& state,
                          std::tm* time) const override;
};

template <class CharT>
class time_getEx : public time_get<CharT> {
public:
    using time_get<CharT>::time_get;
};
}

class LocaleInfo {
public:
    LocaleInfo() = default;
    LocaleInfo(const LocaleInfo&) = delete;
    LocaleInfo& operator=(const LocaleInfo&) = delete;
    virtual ~LocaleInfo();

    // The current record, filled on first use.
    static LocaleInfo& Current();
    // Empties the record and restores the classic global locale, so the next Current() reads the settings again
    // (tests and module exit).
    static void Reset();

    void Initialize();

    char decimalAnsi[8] = {};
    char16_t decimal[8] = {};
    char16_t thousand[8] = {};
    char16_t timeSeparator[8] = {};
    char16_t dateSeparator[8] = {};
    char16_t listSeparator[8] = {};
    char16_t amDesignator[16] = {};
    char16_t pmDesignator[16] = {};
    KVO::String timeFormat;
    KVO::String shortDateFormat;
    KVO::String longDateFormat;
    std::uint16_t oemCodePage = 0;
    std::uint8_t clock24 = 0;
    std::uint8_t designatorFirst = 0;
    std::uint8_t installedGlobalLocale = 0;

private:
    void Clear();
};

namespace KVOLocale {
const char16_t* GetListSeparator();
}

namespace EEH {
KVO::String LongToText(long value);
KVO::String DoubleToText(double value, int precision);

// The fewest significant digits, from 6 up to 17, with which the general notation reads back as the same double.
// Six digits, the streams' default, stay for every value they carry and for infinities and NaN, so that such
// values keep the texts they always had.
int RoundTripPrecision(double value);

// Inserts a double into a wide stream in its general notation with RoundTripPrecision digits, in the stream's own
// locale; the stream's precision is left as it was. For numbers that are stored or handed on as text.
struct RoundTrip {
    double value;
};
std::wostream& operator<<(std::wostream& out, RoundTrip number);
}
