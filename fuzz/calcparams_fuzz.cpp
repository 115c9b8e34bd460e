// The parameter texts of every calculation over any text: reading never fails, and what a calculation writes back
// reads as the same parameters.
#include "fuzzkit.h"

#include "foundation/kvostring.h"
#include "frame/classlist.h"
#include "platform/com/unknown.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"

#include <string>

using platform::ComPtr;

namespace {

struct Calculation {
    ComPtr<ICalcEnumClass2> calcClass;
    // The text starts with the count of sources, which the calculation does not write back.
    bool leadingCount = false;
};

std::vector<Calculation> Calculations()
{
    std::vector<Calculation> calculations;
    for (CAFClassObject* at = CAFClassObject::CalculationListHead(); at; at = at->Next()) {
        Calculation calculation;
        if (FAILED(at->GetClassObjectInterface()->QueryInterface(IID_ICalcEnumClass2,
                                                                 calculation.calcClass.OutVoid()))) {
            continue;
        }
        ComPtr<ICalcNumericParamsFuncClass> info;
        DWORD kind1 = 0;
        DWORD kind2 = 0;
        LONG params = 0;
        LONG sources = 0;
        DWORD id = 0;
        IKVOString* name = nullptr;
        if (SUCCEEDED(at->GetClassObjectInterface()->QueryInterface(IID_ICalcNumericParamsFuncClass, info.OutVoid())) &&
            SUCCEEDED(info->GetInfo(&name, &id, &params, &sources, &kind1, &kind2))) {
            KVO::String().AttachInterface(name);
            calculation.leadingCount = (kind1 & CalcKind::kLeadingCount) != 0;
        }
        calculations.push_back(calculation);
    }
    return calculations;
}

// Parses `text` into a new instance and returns what it writes back; false when there is no instance.
bool ReadAndWrite(ICalcEnumClass2* calcClass, const std::u16string& text, std::u16string& written)
{
    ComPtr<ICalcEnum> calc;
    if (FAILED(calcClass->CreateInstance(nullptr, calc.Out())) || !calc) {
        return false;
    }
    IKVOString* parameters = KVO::String(text.c_str()).GetInterface();
    DWORD flags = 0;
    const HRESULT parsed = calc->Parse(parameters, &flags);
    parameters->Release();
    fuzzkit::Check(parsed == S_OK, "a parameter text was refused");
    IKVOString* out = nullptr;
    fuzzkit::Check(calc->Write(&out) == S_OK, "writing the parameters failed");
    written = KVO::String().AttachInterface(out).c_str();
    return true;
}

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    const char* texts[] = {"1 0.3", "1 12.5 4 0 0 0 0", "1 1e400 -inf abc 5", "2 0.0005 1 10 10 1 0 0 0 0",
                           "1.79769e+308 -1 0 0 2147483647 2147483647", "0 100 0 0 0 0"};
    for (std::uint8_t which = 0; which < 15; ++which) {
        const char* text = texts[which % std::size(texts)];
        fuzzkit::Bytes seed{which};
        seed.insert(seed.end(), text, text + std::char_traits<char>::length(text));
        seeds.push_back(seed);
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("calcparams", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Calculation> calculations = Calculations();
    if (calculations.empty()) {
        return 0;
    }
    fuzzkit::Input input(data, size);
    const Calculation& calculation = calculations[input.Byte() % calculations.size()];
    ICalcEnumClass2* calcClass = calculation.calcClass.Get();
    std::u16string text;
    for (const std::uint8_t byte : input.Rest()) {
        text.push_back(byte == 0 ? u' ' : static_cast<char16_t>(byte)); // the texts are read up to the first NUL
    }
    std::u16string first;
    if (!ReadAndWrite(calcClass, text, first)) {
        return 0;
    }
    // Selectors round their integers as trunc(x + 0.5), which moves negative values (all of them meaningless there)
    // on every reading: only texts without them must read back the same.
    if (first.find(u'-') != std::u16string::npos) {
        return 0;
    }
    std::u16string second;
    ReadAndWrite(calcClass, (calculation.leadingCount ? u"1 " : u"") + first, second);
    if (first != second) {
        IKVOString* name = nullptr;
        calcClass->GetNameString(&name);
        const std::u16string calcName = KVO::String().AttachInterface(name).c_str();
        std::fprintf(stderr, "%s: \"%s\" reads back as \"%s\"\n", std::string(calcName.begin(), calcName.end()).c_str(),
                     std::string(first.begin(), first.end()).c_str(), std::string(second.begin(), second.end()).c_str());
        fuzzkit::Fail("the written parameters read back as other parameters");
    }
    return 0;
}
