#include "host/cli/settingpages.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace cli {

namespace {

constexpr unsigned Methods(std::initializer_list<int> methods)
{
    unsigned bits = 0;
    for (const int method : methods) {
        bits |= 1u << method;
    }
    return bits;
}

std::vector<PageSetting> OnPage(Page page, std::initializer_list<LONG> ids)
{
    std::vector<PageSetting> settings;
    for (const LONG id : ids) {
        settings.push_back({page, id});
    }
    return settings;
}

std::vector<PageSetting> Join(std::initializer_list<std::vector<PageSetting>> parts)
{
    std::vector<PageSetting> joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// The stimulus detector of the stimulated types: the method, then the method's own sub-page.
std::vector<PageSetting> StimulusDetector(LONG minimumStimulusHeightId)
{
    using enum Quantity;
    return {
        {Page::kDetector, kStimulusMethodId},
        {Page::kDetector, 1005, kMilliseconds, Methods({2})},
        {Page::kDetector, minimumStimulusHeightId, kHeight, Methods({3, 4})},
        {Page::kDetector, 1003, kMilliseconds, Methods({3, 4})},
        {Page::kDetector, 1004, kMilliseconds, Methods({4})},
        {Page::kDetector, 1027, kMilliseconds, Methods({3})},
    };
}

// The peak detector of the action potentials, cardiac (1001) or not (1035).
std::vector<PageSetting> PeakDetector(LONG minimumWidthId)
{
    using enum Quantity;
    return {
        {Page::kDetector, 1006, kHeight}, {Page::kDetector, minimumWidthId, kMilliseconds}, {Page::kDetector, 1036}};
}

// The host's peak detection of the general and synaptic types, set as one text.
std::vector<PageSetting> PeakDetectionText() { return {{Page::kDetector, 1010, Quantity::kDetectionText}}; }

std::vector<PageSetting> Baseline(LONG startHeightId)
{
    return OnPage(Page::kBaseline, {1039, 1040, startHeightId, 1041});
}

} // namespace

const std::vector<PageSetting>& PageSettings(int type)
{
    using enum Quantity;
    static const std::array<std::vector<PageSetting>, 6> types = {
        Join({PeakDetectionText(), Baseline(1033),
              OnPage(Page::kCalculations, {1015, 1016, 1017, 1018, 1020, 1021, 1029, 1030, 1037, 1038})}),
        Join({PeakDetector(1001), Baseline(1033),
              OnPage(Page::kCalculations, {1011, 1012, 1013, 1014, 1017, 1018, 1025, 1026, 1031, 1032})}),
        Join({PeakDetectionText(), Baseline(1033),
              OnPage(Page::kCalculations, {1015, 1016, 1020, 1021, 1029, 1030, 1037})}),
        Join({StimulusDetector(1002),
              {{Page::kDetector, kDetectResponsesId},
               {Page::kDetector, 1006, kHeight, kEveryMethod, true},
               {Page::kDetector, 1007, kMilliseconds, kEveryMethod, true},
               {Page::kDetector, 1008, kMilliseconds, kEveryMethod, true}},
              Baseline(1033),
              OnPage(Page::kCalculations, {1015, 1016, 1017, 1018, 1020, 1021, 1022, 1029, 1030, 1037})}),
        // The baseline page of population spikes shows every control disabled.
        Join({StimulusDetector(1028),
              {{Page::kDetector, 1007, kMilliseconds}, {Page::kDetector, 1008, kMilliseconds}},
              OnPage(Page::kCalculations, {1020, 1021, 1022})}),
        Join({PeakDetector(1035), Baseline(1034), OnPage(Page::kCalculations, {1017, 1018, 1031, 1032})}),
    };
    static const std::vector<PageSetting> none;
    return type >= 0 && type < static_cast<int>(types.size()) ? types[static_cast<std::size_t>(type)] : none;
}

std::vector<PageSetting> DetectionSettings(int type, int method, bool responses)
{
    std::vector<PageSetting> used;
    const std::vector<PageSetting>& shown = PageSettings(type);
    const bool stimulated =
        std::ranges::any_of(shown, [](const PageSetting& setting) { return setting.id == kStimulusMethodId; });
    const unsigned methodBit = method >= 0 && method < 32 ? 1u << method : 0u;
    for (const PageSetting& setting : shown) {
        const bool shownForMethod = setting.methods == kEveryMethod || (setting.methods & methodBit) != 0;
        // Without stimulus detection nothing is searched for: the method alone decides.
        const bool searched = !stimulated || method != kNoStimulusMethod || setting.id == kStimulusMethodId;
        if (setting.page == Page::kDetector && shownForMethod && searched && (!setting.withResponses || responses)) {
            used.push_back(setting);
        }
    }
    return used;
}

GlobalRole RoleOf(LONG id)
{
    constexpr LONG kNoEffect[] = {2003, kAnalyseSelectionId, 2009, 2010};
    constexpr LONG kKept[] = {2005, 2006, 2007, 2008, 2011, 2012, 2023, 2024, 2025, 2026};
    if (std::ranges::find(kNoEffect, id) != std::end(kNoEffect)) {
        return GlobalRole::kNoEffect;
    }
    return std::ranges::find(kKept, id) != std::end(kKept) ? GlobalRole::kKept : GlobalRole::kUsed;
}

} // namespace cli
