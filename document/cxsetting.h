// One analysis setting: a number, an on/off flag or Loopmetry's detection settings. Every setting knows its id,
// kind, category and the analysis types that check it; its value is stored and copied as text.
#pragma once

#include "foundation/kvostring.h"
#include "platform/com/unknown.h"
#include "sdk/documentsite.h"

#include <cstdint>

namespace KVO {
class BinOStream;
}

namespace CX::Doc {

enum SettingKind : std::int32_t {
    kSettingBool = 0,
    kSettingInt = 1,
    kSettingInt10 = 2,
    kSettingLong = 3,
    kSettingDouble = 4,
    kSettingDetection = 6,
};

// The bit of an analysis type in a type mask; 0 for a type outside 0 to 5.
constexpr std::uint32_t AnalysisTypeBit(std::int32_t type)
{
    return type >= 0 && type <= 5 ? 1u << type : 0u;
}

class CXSetting {
public:
    CXSetting(std::int32_t id, std::int32_t kind, std::int32_t category, std::uint32_t typeMask)
        : id_(id), kind_(kind), category_(category), typeMask_(typeMask)
    {
    }
    CXSetting(const CXSetting&) = delete;
    CXSetting& operator=(const CXSetting&) = delete;
    virtual ~CXSetting() = default;

    virtual bool IsValid() const { return false; }
    // `classic`: numbers in the classic "C" form; otherwise in the stream's default locale.
    virtual KVO::String ToText(bool classic) const;
    // Writes ToText(true) as a string record; numbers write theirs without making a string first.
    virtual void WriteClassicText(KVO::BinOStream& out) const;
    // Reads the leading value of the text; a text that holds none leaves the value as it was. No range check.
    virtual void FromText(const KVO::String& text, bool classic);
    virtual void Reset() {}
    virtual double AsDouble() const { return 0.0; }
    // Copies what text cannot carry; false asks the caller to copy through ToText and FromText instead.
    virtual bool CopyFrom(const CXSetting& other);

    std::int32_t Id() const { return id_; }
    std::int32_t Kind() const { return kind_; }
    std::int32_t Category() const { return category_; }
    std::uint32_t TypeMask() const { return typeMask_; }

private:
    std::int32_t id_;
    std::int32_t kind_;
    std::int32_t category_;
    std::uint32_t typeMask_;
};

// A number with a default and an inclusive range. T is std::int32_t (kinds 1 and 3) or double (kind 4).
template <class T, std::int32_t KindTag>
class CXSettingIO : public CXSetting {
public:
    CXSettingIO(std::int32_t id, std::int32_t category, std::uint32_t typeMask, T defaultValue, T minimum, T maximum)
        : CXSetting(id, KindTag, category, typeMask), value_(defaultValue), default_(defaultValue), min_(minimum),
          max_(maximum)
    {
    }

    bool IsValid() const override { return min_ <= value_ && value_ <= max_; } // false for a NaN
    KVO::String ToText(bool classic) const final; // WriteClassicText writes the same classic text
    void WriteClassicText(KVO::BinOStream& out) const override;
    void FromText(const KVO::String& text, bool classic) override;
    void Reset() override { value_ = default_; }
    double AsDouble() const override { return static_cast<double>(value_); }

    T Value() const { return value_; }
    void SetValue(T value) { value_ = value; }
    T Default() const { return default_; }
    T Minimum() const { return min_; }
    T Maximum() const { return max_; }

protected:
    // For the step-of-ten setting, which shares this class's layout under its own kind.
    CXSettingIO(std::int32_t id, std::int32_t kind, std::int32_t category, std::uint32_t typeMask, T defaultValue,
                T minimum, T maximum)
        : CXSetting(id, kind, category, typeMask), value_(defaultValue), default_(defaultValue), min_(minimum),
          max_(maximum)
    {
    }

private:
    T value_;
    T default_;
    T min_;
    T max_;
};

// Integers, long integers (32 bits, as the stored files have them) and doubles.
using CXSettingInt = CXSettingIO<std::int32_t, kSettingInt>;
using CXSettingLong = CXSettingIO<std::int32_t, kSettingLong>;
using CXSettingDouble = CXSettingIO<double, kSettingDouble>;

extern template class CXSettingIO<std::int32_t, kSettingInt>;
extern template class CXSettingIO<std::int32_t, kSettingLong>;
extern template class CXSettingIO<double, kSettingDouble>;

// An integer that must also be a multiple of ten.
class CXSetting_Int10 : public CXSettingInt {
public:
    CXSetting_Int10(std::int32_t id, std::int32_t category, std::uint32_t typeMask, std::int32_t defaultValue,
                    std::int32_t minimum, std::int32_t maximum)
        : CXSettingInt(id, kSettingInt10, category, typeMask, defaultValue, minimum, maximum)
    {
    }

    bool IsValid() const override { return CXSettingInt::IsValid() && Value() % 10 == 0; }
};

class CXSetting_Bool : public CXSetting {
public:
    CXSetting_Bool(std::int32_t id, std::int32_t category, std::uint32_t typeMask, bool defaultValue)
        : CXSetting(id, kSettingBool, category, typeMask), value_(defaultValue), default_(defaultValue)
    {
    }

    bool IsValid() const override { return true; }
    KVO::String ToText(bool classic) const final; // "t" or "f"
    void WriteClassicText(KVO::BinOStream& out) const override;
    void FromText(const KVO::String& text, bool classic) override; // on exactly when the text starts with 't'
    void Reset() override { value_ = default_; }

    bool Value() const { return value_; }
    void SetValue(bool value) { value_ = value; }
    bool Default() const { return default_; }

private:
    bool value_;
    bool default_;
};

// Setting 1010: Loopmetry's detection settings. Until it is bound to a host document that has the extension it
// keeps the settings text it was given, so that a document saved without the extension keeps that text.
class CXSetting_LMDetSet : public CXSetting {
public:
    CXSetting_LMDetSet();

    bool IsValid() const override; // false while unbound
    KVO::String ToText(bool classic) const override;
    void FromText(const KVO::String& text, bool classic) override;
    void Reset() override;
    bool CopyFrom(const CXSetting& other) override;

    // Creates the object through the document's Loopmetry extension and hands it the pending text. Nothing
    // happens when bound already, without a document, or when the document has no Loopmetry extension.
    void Bind(IUnknown* hostDocument);
    // The bound object (no reference added), or null.
    ILMDetectionSettings* Object() const { return object_.Get(); }
    const KVO::String& PendingText() const { return pending_; }

private:
    platform::ComPtr<ILMDetectionSettings> object_;
    KVO::String pending_;
};

} // namespace CX::Doc
