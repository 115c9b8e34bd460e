#include "document/settingdescriptions.h"

#include "document/paramcatalogue.h"

#include <algorithm>
#include <iterator>

namespace CX::Doc {

namespace {

struct DescriptionRow {
    std::int32_t id;
    const char16_t* text;
};

// Heights are in the recording's base unit (V or A), as the recording holds its samples.
// clang-format off
constexpr DescriptionRow kDescriptions[] = {
    {1005, u"stimulus position, ms from the start of the block"},
    {1003, u"maximum stimulus width, ms"},
    {1002, u"minimum stimulus height, V or A"},
    {1028, u"minimum stimulus height (population spikes), V or A"},
    {1000, u"stimulus detection method: 2 Time from start of block, 3 Height and width, "
           u"4 Height and width (one per block), 5 none (detects no stimulus)"},
    {1004, u"search start, ms after the start of the block"},
    {1006, u"minimum peak height, V or A"},
    {1007, u"detection start, ms after the stimulus artefact"},
    {1008, u"detection end, ms after the stimulus artefact"},
    {1009, u"Detect Responses: t with 1006, 1007 and 1008, f with fixed values"},
    {1010, u"the host's peak detection settings, as text"},
    {1001, u"minimum peak width, ms (cardiac action potentials)"},
    {1035, u"minimum peak width, ms (action potentials)"},
    {1027, u"minimum interval between stimulus artefacts, ms"},
    {1036, u"peak width from: t Half height from baseline (a separate width filter), "
           u"f Minimum peak height (the peak detector's)"},
    {1039, u"baseline: 0 Automatic, 1 Always set to 1040, 2 Use minimum value between peaks, 3 as 0"},
    {1040, u"baseline value of 1039 = 1 (Always set to), V or A"},
    {1033, u"height for the start of the peak, % of the peak height"},
    {1034, u"height for the start of the peak (action potentials), % of the peak height"},
    {1041, u"height for the end of the peak, % of the peak height"},
    {1011, u"triangulation start, %"},
    {1012, u"triangulation end, %"},
    {1013, u"mid plateau (PLT), %"},
    {1014, u"PLT width, ms"},
    {1015, u"area start, ms"},
    {1016, u"area end, ms"},
    {1017, u"rise start, %"},
    {1018, u"rise end, %"},
    {1019, u"superseded by 1037; read only from old documents"},
    {1037, u"tau: 0 fitted B, 1 B set to baseline, 2 B set to 1038, 3 B = 0"},
    {1038, u"tau's B of 1037 = 2 (B set to), V or A"},
    {1020, u"slope start, ms"},
    {1021, u"slope end, ms"},
    {1022, u"value location, ms after the stimulus artefact"},
    {1023, u"population-spike setting, ms (stored, not used by a calculation)"},
    {1024, u"population-spike setting, ms (stored, not used by a calculation)"},
    {1025, u"plateau centre, %"},
    {1026, u"plateau voltage width, ms"},
    {1029, u"tau start, %"},
    {1030, u"tau end, %"},
    {1031, u"maximum negative slope start, ms"},
    {1032, u"maximum negative slope smoothing window, ms"},
    {2000, u"analysis type (0 to 5; --type)"},
    {2001, u"source channel, counted from 0 (--channel counts from 1)"},
    {2023, u"host channel of the detector stage (-1: none); kept by the analysis"},
    {2024, u"host channel of the event chain (-1: none); kept by the analysis"},
    {2025, u"host channel of the calculation stage (-1: none); kept by the analysis"},
    {2002, u"show the table's summary rows (average, minimum and maximum)"},
    {2003, u"settings dialog tab shown first"},
    {2004, u"analyse the selection instead of the whole channel"},
    {2005, u"analysed range: start block (-1: none); kept by the analysis"},
    {2006, u"analysed range: start offset, samples (-1: none); kept by the analysis"},
    {2007, u"analysed range: end block (-1: none); kept by the analysis"},
    {2008, u"analysed range: end offset, samples (-1: none); kept by the analysis"},
    {2009, u"analyse while sampling"},
    {2010, u"show event marks in the chart"},
    {2011, u"an analysed range exists; kept by the analysis"},
    {2012, u"no analysis result is current; kept by the analysis"},
    {2013, u"analysis plot marker: TStart"},
    {2014, u"analysis plot marker: Baseline"},
    {2015, u"analysis plot marker: TimeToPeak"},
    {2016, u"analysis plot marker: APeak"},
    {2017, u"analysis plot marker: PeakArea"},
    {2018, u"analysis plot marker: Width50"},
    {2019, u"analysis plot marker: Tau"},
    {2020, u"analysis plot marker: Slope"},
    {2021, u"analysis plot marker: TEnd"},
    {2022, u"analysis plot marker: PopSpikeArea"},
    {2026, u"a state of the table view; kept by the table view"},
    {2027, u"analysis plot time axis minimum, s (all four 0: not set)"},
    {2028, u"analysis plot time axis maximum, s"},
    {2029, u"analysis plot value axis minimum, displayed unit"},
    {2030, u"analysis plot value axis maximum, displayed unit"},
};
// clang-format on

constexpr std::int32_t kLastParameterCode = 58;

} // namespace

std::u16string SettingDescription(std::int32_t id, std::int32_t analysisType, const ParamCatalogue* catalogue)
{
    if (id >= 0 && id <= kLastParameterCode) {
        const std::u16string name = catalogue ? catalogue->ShortName(analysisType, id) : std::u16string();
        return u"table column of parameter " + std::u16string(name.empty() ? u"?" : name) + u" shown (t) or not (f)";
    }
    const auto* found = std::find_if(std::begin(kDescriptions), std::end(kDescriptions),
                                     [id](const DescriptionRow& row) { return row.id == id; });
    return found == std::end(kDescriptions) ? std::u16string() : std::u16string(found->text);
}

} // namespace CX::Doc
