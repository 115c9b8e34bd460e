#include "resources/stringtable.h"

#include "foundation/moduleinstance.h"

// Texts may hold the branding tokens (HOSTAPPTITLE, HOSTAPP, ACQUIBOX, OEM) that the loader replaces, and
// "%1"-style placeholders that the format stream fills.
namespace {
using namespace StringId;

constexpr platform::StringTableEntry kStrings[] = {
    {ErrUnexpected, u"The analysis module met an unexpected error."},
    {ErrNotCompleted, u"The operation could not be completed."},
    {ErrNotSupported, u"The operation is not supported."},
    {ErrBadStoredText, u"The stored data contains a damaged text."},
    {ErrNewerVersion, u"The data was saved by a newer version and cannot be read by this version."},
    {ErrStoredDataEnds, u"The stored data ends unexpectedly."},
    {ErrNotSaved, u"The data could not be saved."},
    {ErrStoredDataDamaged, u"The stored data is damaged."},
    {ErrNotRead, u"The data could not be read."},
    {ErrNeedsNewerHost, u"This feature needs a newer version of HOSTAPPTITLE."},
    {ErrSettingsInvalid, u"The settings are not valid."},
    {ErrNoData, u"There is no data to analyse."},
    {StorageDiskFull,
     u"There is not enough space on the disk for the temporary data of HOSTAPPTITLE.\n"
     u"Free some disk space and choose Retry, or choose Cancel to stop."},
    {LocaleCaption, u"Regional settings"},
    {LocaleUnreadable,
     u"Some of your regional settings could not be read; US English settings are used in their place."},
    {LocaleDecimalIsDateSeparator,
     u"Your decimal separator is also your date separator: numbers and dates may be read wrongly."},
    {LocaleDecimalIsListSeparator,
     u"Your decimal separator is also your list separator: exported lists of numbers may be read wrongly."},
    {LocaleUnsupportedDecimal,
     u"Your decimal separator (units:%1) is neither a point nor a comma; numbers may not be read correctly."},
    {LocaleCrtFirstError, u"The number format could not be applied: the locale name is not valid."},
    {LocaleCrtFirstError + 1, u"The number format could not be applied: the language is not supported."},
    {RangeErrorTitle, u"Value out of range"},
    {RangeErrorMessage, u"Enter a whole number from %1 to %2."},
    {LocaleCrtFirstError + 2, u"The number format could not be applied: the country is not supported."},
    {LocaleCrtFirstError + 3, u"The number format could not be applied: the code page is not supported."},
    {LocaleCrtFirstError + 4, u"The number format could not be applied: not enough memory."},
    {LocaleCrtFirstError + 5, u"The number format could not be applied: the run-time library refused it."},
    {LocaleCrtOtherError, u"The number format could not be applied to the run-time library: %1"},
    {CopyTableView, u"Copy Table View"},
    {PrintTableView, u"Print Table View..."},
    {TableViewHelpTooltip, u"Get Table View help"},
    {CopyAnalysisView, u"Copy Crestmetrics View"},
    {PrintAnalysisView, u"Print Crestmetrics View"},
    {MenuSettings, u"&Settings..."},
    {DetectionSettingsTitle, u"Crestmetrics Detection Settings (%1)"},
    {DialogHelpTooltip, u"Get dialog help"},
    {HalfHeightTitle, u"Half Height from Baseline"},
    {HalfHeightText, u"The width of the detected peak is measured from halfway between the baseline and the peak."},
    {MinPeakHeightTitle, u"Minimum Peak Height"},
    {MinPeakHeightText,
     u"The width of the detected peak is measured from the minimum peak height value below the peak. This means "
     u"that small minimum peak height settings will result in small detection widths."},
    {RmpSetting, u"RMP setting"},
    {RmpHeightPercentLabel, u"% of the height away from the RMP"},
    {CalcChannelTitle, u"Crestmetrics (Channel %1)"},
    {AnalysisClientName, u"Crestmetrics"},
    {CalculationsTurnedOff,
     u"One or more channel calculations are not available in the new analysis type and have been turned off."},
    {ModuleCaption, u"Crestmetrics"},
    {NeedsLoopmetry, u"Crestmetrics requires the Loopmetry standard extension."},
    {ChannelCalcCaption, u"Crestmetrics"},
    {ChannelCalcOnSource, u"A Crestmetrics channel calculation can not be set on the Crestmetrics source channel."},
    {ChooseAnalysisType, u"Choose an analysis type before using channel calculations. The analysis type can be "
                         u"changed in the settings dialog."},
    {ChannelCalcDialogCaption, u"Crestmetrics - %1"},
    {MenuAnalyseChannel, u"A&nalyze Channel"},
    {MenuAnalyseSelection, u"A&nalyze Selection"},
    {CommandAnalyse, u"Analyze Channel"},
    {MenuClear, u"&Clear Analysis"},
    {NotEnoughMemory, u"Not enough memory for the whole analysis. Please choose a smaller selection to analyze."},
};

// Registers the table when the module is loaded. It stays registered to the end of the process (the registry keeps
// its own copy), so that texts can still be loaded while static objects are destroyed.
struct Registration {
    Registration() { platform::RegisterStringTable(KVO::ModuleInstance(), kStrings); }
};
const Registration g_registration;
}

namespace Resources {
std::span<const platform::StringTableEntry> StringTable() { return kStrings; }
}
