// The measured parameters of each analysis type in display order: codes, names, descriptions; with the unit of a
// parameter and the display names of the analysis types and stimulus detection modes.
#pragma once

#include "foundation/prefixedunit.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace CX {

class ParamCatalogue {
public:
    static constexpr std::int32_t kTypeCount = 6;
    static constexpr std::int32_t kLineCount = 59; // parameter codes 0 to 58

    struct Row {
        std::u16string ShortName;
        std::u16string LongName = u"?";
        std::u16string Description = u"?";
        std::int32_t Code = -1;
        bool HasSettings = false;
    };

    // The full catalogue of all six analysis types.
    ParamCatalogue();
    ParamCatalogue(const ParamCatalogue&) = delete;
    ParamCatalogue& operator=(const ParamCatalogue&) = delete;
    ~ParamCatalogue();

    // Appends a row to a type; a type outside 0 to 5 or a full type is left alone.
    void AddRow(std::int32_t type, const Row& row);
    // The index of the first row of the type with the code; -1 for another type, an empty type or no such row.
    std::int32_t RowIndex(std::int32_t type, std::int32_t code) const;
    // The short name of that row; "?" when there is none.
    std::u16string ShortName(std::int32_t type, std::int32_t code) const;
    // The fields of the cell at an index: the default row's texts beyond the type's rows.
    std::u16string ShortNameAt(std::int32_t type, std::int32_t index) const { return Cell(type, index).ShortName; }
    std::u16string LongNameAt(std::int32_t type, std::int32_t index) const { return Cell(type, index).LongName; }
    std::u16string DescriptionAt(std::int32_t type, std::int32_t index) const { return Cell(type, index).Description; }
    const Row& RowAt(std::int32_t type, std::int32_t index) const { return Cell(type, index); }
    std::int32_t RowCount(std::int32_t type) const;
    // Whether any row of the type holds the code.
    bool Offers(std::int32_t type, std::int32_t code) const { return RowIndex(type, code) >= 0; }
    // The types that offer the code, as one bit per type (bit t for type t).
    std::uint32_t OfferMask(std::int32_t code) const;

    // The unit of a parameter's values on a source channel of the given unit.
    static KVO::PrefixedUnit UnitText(std::int32_t code, const KVO::PrefixedUnit& source);
    static std::u16string AnalysisTypeName(std::int32_t type);
    // The name of a stimulus detection mode (setting 1000).
    static std::u16string DetectionModeName(std::int32_t mode);

private:
    struct Table {
        std::array<std::int32_t, kTypeCount> counts{};
        std::array<std::array<Row, kTypeCount>, kLineCount> lines;
        // The first row of each type that holds a code of 0 to 58 (-1: none), kept as rows are added, so that the
        // settings and the table find a code without a search.
        std::array<std::array<std::int8_t, kTypeCount>, kLineCount> firstRow;
        // The types that offer each code of 0 to 58, one bit per type, kept with firstRow.
        std::array<std::uint32_t, kLineCount> offerMasks{};
    };

    const Row& Cell(std::int32_t type, std::int32_t index) const;
    void Build();

    std::unique_ptr<Table> table_;
};

// A rate unit of a base text ("V/s"; "Hz" for no unit) and an integral unit ("V.s"; "Units.s" for no unit).
std::u16string PerSecond(const std::u16string& base);
std::u16string TimesSecond(const std::u16string& base);

} // namespace CX
