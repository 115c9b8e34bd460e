// The base of every numeric parameter record: the calculations' parameter records and the document's. A record
// is a fixed list of doubles reached by index; its text form is the values one after another.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

namespace CX {

class ParamHelper {
public:
    virtual ~ParamHelper() = default;

    // The number of values.
    virtual std::int32_t Count() const = 0;
    // With `write` clear stores value `index` into `value` and returns &value; with it set stores `value` into the
    // record and returns the record's field. An index outside the record does nothing (null).
    virtual double* Value(std::int32_t index, double& value, bool write) = 0;
    // Inserts every value as a double, nothing between them.
    virtual void WriteValues(std::wostream& out);
    // Extracts one double per value; a missing or unreadable value is stored as -1.0. Then AfterRead.
    virtual void ReadValues(std::wistream& in);
    // Inserts every value as a double with the digits that carry it exactly, separated by ", " (the form of the
    // calculation texts).
    virtual void WriteText(std::wostream& out);
    // Stores -1 into every value: values with a default of their own take it.
    virtual void ResetToDefaults();

protected:
    // Called after ReadValues has stored every value.
    virtual void AfterRead() {}
};

} // namespace CX
