#include "document/paramhelper.h"

#include "foundation/localeinfo.h"

namespace CX {

void ParamHelper::WriteValues(std::wostream& out)
{
    const std::int32_t count = Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = 0.0;
        if (const double* read = Value(i, value, false)) {
            out << *read;
        }
    }
}

void ParamHelper::ReadValues(std::wistream& in)
{
    const std::int32_t count = Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = -1.0;
        // A failed extraction would store 0; the value is kept only when one was read.
        double extracted = 0.0;
        if (in >> extracted) {
            value = extracted;
        }
        Value(i, value, true);
    }
    AfterRead();
}

void ParamHelper::WriteText(std::wostream& out)
{
    const std::int32_t count = Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = 0.0;
        if (i > 0) {
            out << L", ";
        }
        if (const double* read = Value(i, value, false)) {
            out << EEH::RoundTrip{*read}; // the calculation reads back the value that was set
        }
    }
}

void ParamHelper::ResetToDefaults()
{
    const std::int32_t count = Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = -1.0;
        Value(i, value, true);
    }
}

} // namespace CX
