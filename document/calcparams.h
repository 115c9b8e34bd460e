// The numeric parameters of each calculation stage, filled from the document's settings: each record has the
// fields, order and defaults of its calculation's own record, so that the text it writes is the text that the
// calculation reads back.
#pragma once

#include "document/paramhelper.h"
#include "engine/calcamax.h"
#include "engine/calcbase.h"
#include "engine/calcbase2.h"
#include "engine/calcbulk.h"
#include "engine/cappwf.h"
#include "engine/erstimdet.h"
#include "engine/pscalc.h"

#include <cstdint>

namespace CX::Doc {
class SettingsSet;
}

namespace CX {

class EStimDetParams : public Enum::ERStimDet::StimDetParams {
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

class ECAPPeakWidthFilterParams : public Enum::CalcCAPPeakWidthFilter::CAPPeakWidthFilterParams {
public:
    explicit ECAPPeakWidthFilterParams(const Doc::SettingsSet* settings);
};

class EBulkParams : public Enum::CalcBulk::BulkParams {
public:
    explicit EBulkParams(const Doc::SettingsSet* settings);
};

} // namespace CX
