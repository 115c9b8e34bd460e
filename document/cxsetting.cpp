#include "document/cxsetting.h"

#include "foundation/binstream.h"
#include "foundation/localeinfo.h"
#include "foundation/stringstream.h"
#include "frame/hostservices.h"

#include <algorithm>
#include <charconv>
#include <locale>
#include <sstream>
#include <type_traits>

namespace CX::Doc {

namespace {

// The classic form is what the C library writes ("%d", "%.*g"), and so what to_chars writes: every setting stored
// or copied is written this way, without the cost of a stream. The units go into `units` (64 of them); their count.
template <class T>
std::size_t ClassicUnits(T value, char16_t* units)
{
    char text[64];
    std::to_chars_result written{};
    if constexpr (std::is_floating_point_v<T>) {
        written = std::to_chars(text, text + sizeof text, value, std::chars_format::general,
                                EEH::RoundTripPrecision(value));
    } else {
        written = std::to_chars(text, text + sizeof text, value);
    }
    std::copy(text, written.ptr, units);
    return static_cast<std::size_t>(written.ptr - text);
}

template <class T>
KVO::String NumberText(T value, bool classic)
{
    if (classic) {
        char16_t units[64];
        const std::size_t count = ClassicUnits(value, units);
        return KVO::String(units, static_cast<int>(count));
    }
    KVO::OStringStream out;
    if (classic) {
        out.imbue(std::locale::classic());
    }
    if constexpr (std::is_floating_point_v<T>) {
        out << EEH::RoundTrip{value}; // what is stored or copied must read back as the same value
    } else {
        out << value;
    }
    return out.str();
}

// A classic text in the plain form the settings write themselves: a minus sign at most, digits, and for doubles a
// point with digits and an exponent (sign optional) with digits, each at most once; nothing before or after.
template <class T>
bool IsPlainNumber(std::u16string_view text)
{
    const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    std::size_t at = !text.empty() && text[0] == u'-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = at;
        while (at < text.size() && digit(text[at])) {
            ++at;
        }
        return at > from;
    };
    if (!digits()) {
        return false;
    }
    if constexpr (std::is_floating_point_v<T>) {
        if (at < text.size() && text[at] == u'.' && (++at, !digits())) {
            return false;
        }
        if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
            ++at;
            if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
                ++at;
            }
            if (!digits()) {
                return false;
            }
        }
    }
    return at == text.size();
}

// The leading number of the text; false when there is none or it does not fit T.
template <class T>
bool ReadNumber(const KVO::String& text, bool classic, T& value)
{
    // A plain classic text (as every stored setting is) reads without a stream: the stream and from_chars give the
    // same nearest value. A value out of range is left to the stream, which refuses it in its own way.
    if (classic && text.Length() < 64 && IsPlainNumber<T>(text.View())) {
        char narrow[64];
        const auto units = text.View();
        std::copy(units.begin(), units.end(), narrow);
        T read{};
        const auto [end, error] = std::from_chars(narrow, narrow + units.size(), read);
        if (error == std::errc() && end == narrow + units.size()) {
            value = read;
            return true;
        }
    }
    std::wistringstream in(KVO::ToWide(text.View()));
    if (classic) {
        in.imbue(std::locale::classic());
    }
    T read{};
    in >> read;
    if (in.fail()) {
        return false;
    }
    value = read;
    return true;
}

} // namespace

KVO::String CXSetting::ToText(bool) const { return KVO::String(u"?"); }

void CXSetting::WriteClassicText(KVO::BinOStream& out) const { out.WriteString(ToText(true)); }

void CXSetting::FromText(const KVO::String&, bool) {}

bool CXSetting::CopyFrom(const CXSetting&) { return false; }

template <class T, std::int32_t KindTag>
KVO::String CXSettingIO<T, KindTag>::ToText(bool classic) const
{
    return NumberText(value_, classic);
}

template <class T, std::int32_t KindTag>
void CXSettingIO<T, KindTag>::WriteClassicText(KVO::BinOStream& out) const
{
    char16_t units[64];
    out.WriteText(std::u16string_view(units, ClassicUnits(value_, units)));
}

template <class T, std::int32_t KindTag>
void CXSettingIO<T, KindTag>::FromText(const KVO::String& text, bool classic)
{
    ReadNumber(text, classic, value_);
}

template class CXSettingIO<std::int32_t, kSettingInt>;
template class CXSettingIO<std::int32_t, kSettingLong>;
template class CXSettingIO<double, kSettingDouble>;

KVO::String CXSetting_Bool::ToText(bool) const
{
    // Two shared texts: every column of every channel writes one.
    static const KVO::String kOn(u"t");
    static const KVO::String kOff(u"f");
    return value_ ? kOn : kOff;
}

void CXSetting_Bool::WriteClassicText(KVO::BinOStream& out) const { out.WriteText(value_ ? u"t" : u"f"); }

void CXSetting_Bool::FromText(const KVO::String& text, bool) { value_ = text[0] == u't'; }

// ---- CXSetting_LMDetSet ----

CXSetting_LMDetSet::CXSetting_LMDetSet()
    : CXSetting(1010, kSettingDetection, 1, AnalysisTypeBit(0) | AnalysisTypeBit(2))
{
}

bool CXSetting_LMDetSet::IsValid() const
{
    if (!object_) {
        return false;
    }
    VARIANT_BOOL valid = VARIANT_FALSE;
    object_->IsValid(&valid);
    return valid != VARIANT_FALSE;
}

KVO::String CXSetting_LMDetSet::ToText(bool) const
{
    if (!object_) {
        return pending_;
    }
    BSTR text = nullptr;
    object_->GetText(&text);
    return KVO::String::AttachBSTR(text);
}

void CXSetting_LMDetSet::FromText(const KVO::String& text, bool)
{
    if (object_) {
        object_->SetText(text.c_str());
    } else {
        pending_ = text;
    }
}

void CXSetting_LMDetSet::Reset()
{
    if (object_) {
        object_->Reset();
    }
}

bool CXSetting_LMDetSet::CopyFrom(const CXSetting& other)
{
    if (&other == this) {
        return true; // releasing first would lose the object that is to be copied
    }
    object_.Reset();
    const auto* source = dynamic_cast<const CXSetting_LMDetSet*>(&other);
    if (!source || !source->object_) {
        return false;
    }
    source->object_->Clone(object_.Out());
    return true;
}

void CXSetting_LMDetSet::Bind(IUnknown* hostDocument)
{
    if (object_ || !hostDocument) {
        return;
    }
    const platform::ComPtr<ILMDocExtension> extension = CAF::GetDocumentExtension(hostDocument);
    if (!extension) {
        return;
    }
    extension->CreateSettings(object_.Out());
    if (object_ && !pending_.IsEmpty()) {
        object_->SetText(pending_.c_str());
        pending_ = KVO::String();
    }
}

} // namespace CX::Doc
