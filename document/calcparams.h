// The numeric parameters of each calculation stage, filled from the document's settings: each record has the
// fields, order and defaults of its calculation's own record, so that the text it writes is the text that the
// calculation reads back.
#pragma once

#include "document/paramhelper.h"
#include "engine/calcamax.h"
#include "engine/calcbase.h"
#include "engine/calcbase2.h"
#include "engine/calcbulk.h"
#include "engine/pscalc.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace CX::Doc {
class SettingsSet;
}

namespace CX {

namespace Interim {

// How one value of a record is stored: a double, an integer (rounded half away from zero) or a flag (above 0.5),
// and the default that a written -1 gives (a plain double keeps -1).
struct ValueRule {
    enum Kind { kDouble, kInt, kFlag } kind = kDouble;
    bool hasDefault = false;
    double defaultValue = 0.0;
};

// A record of up to 16 values stored by the rules of its calculation.
class RuledRecord : public ParamHelper {
public:
    std::int32_t Count() const override { return count_; }
    double* Value(std::int32_t index, double& value, bool write) override;

protected:
    explicit RuledRecord(std::initializer_list<ValueRule> rules);
    // Stores a value directly, as the field would hold it.
    void Set(std::int32_t index, double value);

private:
    std::array<ValueRule, 16> rules_{};
    std::array<double, 16> values_{};
    std::int32_t count_ = 0;
};

} // namespace Interim

class EStimDetParams : public Interim::RuledRecord {
public:
    explicit EStimDetParams(const Doc::SettingsSet* settings);
};

class EPSCalcParams : public Enum::PSCalc::PSCalcParams {
public:
    explicit EPSCalcParams(const Doc::SettingsSet* settings);
};

class EBaseParams : public Enum::CalcBase::BaseParams {
public:
    explicit EBaseParams(const Doc::SettingsSet* settings);
};

class EBase2Params : public Enum::CalcBase2::Base2Params {
public:
    explicit EBase2Params(const Doc::SettingsSet* settings);
};

class EAMaxParams : public Enum::CalcAMax::AMaxParams {
public:
    explicit EAMaxParams(const Doc::SettingsSet* settings);
};

class ECAPPeakWidthFilterParams : public Interim::RuledRecord {
public:
    explicit ECAPPeakWidthFilterParams(const Doc::SettingsSet* settings);
};

class EBulkParams : public Enum::CalcBulk::BulkParams {
public:
    explicit EBulkParams(const Doc::SettingsSet* settings);
};

} // namespace CX
