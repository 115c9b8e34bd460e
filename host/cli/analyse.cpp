// crestmetrics analyse RECORDING: the module's analysis document on a recording, analysed as its analyse command
// does, and its table written as the table view's Export writes it.
#include "host/analysis.h"
#include "host/cli/cli.h"
#include "host/cli/settingpages.h"
#include "host/datasource.h"
#include "host/docframework.h"
#include "host/hoststring.h"
#include "host/loopmetry.h"
#include "host/recording.h"
#include "host/saveddocument.h"
#include "host/units.h"
#include "platform/com/memstream.h"
#include "platform/ui/window.h"
#include "platform/posix/atomicfile.h"
#include "platform/posix/followname.h"
#include "platform/posix/outputbatch.h"
#include "platform/posix/testinjections.h"
#include "platform/win/codepage.h"
#include "platform/win/commdlg.h"
#include "platform/win/msgbox.h"
#include "platform/win/shlobj.h"
#include "platform/win/winuser.h"
#include "sdk/docview.h"
#include "sdk/analysisjob.h"
#include "sdk/analysismanager.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <locale>
#include <optional>
#include <ostream>
#include <sstream>
#include <sys/stat.h>

namespace cli {

namespace {

// The analysis type, the source channel and the settings.
constexpr LONG kAnalysisTypeId = 2000;
constexpr LONG kSourceChannelId = 2001;
// Stimulus method 4: the artefact's peak must come after this many ms from the start of the block.
constexpr LONG kStimulusSearchStartId = 1004;
constexpr int kLastAnalysisType = 5;
// The name the table is exported to when it goes to standard output: written through descriptor 1 in place.
constexpr const char* kTableToStandardOutput = "/dev/stdout";

int WholeNumber(const std::string& option, const std::string& text, int lowest, int highest)
{
    int value = 0;
    const auto done = std::from_chars(text.data(), text.data() + text.size(), value);
    if (done.ec != std::errc() || done.ptr != text.data() + text.size() || value < lowest || value > highest) {
        throw Failure(option + " needs a whole number from " + std::to_string(lowest) + " to " +
                          std::to_string(highest) + ", not \"" + text + "\"",
                      true);
    }
    return value;
}

// A number of the settings tables as a reader types it: whole numbers whole, the largest double as "largest".
std::string TableNumber(double value)
{
    if (value >= DBL_MAX) {
        return "largest";
    }
    if (value <= -DBL_MAX) {
        return "-largest";
    }
    char buffer[64];
    const auto done = std::fabs(value) < 1e15 && value == std::trunc(value)
                          ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value))
                          : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, done.ptr);
}

// The module's settings as its tables define them, read through the analysis document.
class SettingsTables {
public:
    SettingsTables(IAnalysisJob& job, int analysisType)
    {
        AnalysisSettingInfo info{};
        IKVOString* description = nullptr;
        for (LONG index = 0; job.GetSettingInfo(analysisType, index, &info, &description) == S_OK; ++index) {
            rows_.push_back({info, platform::Utf16ToUtf8(host::TakeText(description))});
            description = nullptr;
        }
    }

    struct Row {
        AnalysisSettingInfo info;
        std::string description;
    };
    const std::vector<Row>& Rows() const { return rows_; }
    const Row* Find(LONG id) const
    {
        const auto found = std::find_if(rows_.begin(), rows_.end(), [id](const Row& row) { return row.info.id == id; });
        return found == rows_.end() ? nullptr : &*found;
    }

private:
    std::vector<Row> rows_;
};

std::string KindName(LONG kind)
{
    switch (kind) {
    case AnalysisSettingKind::kOnOff: return "t/f";
    case AnalysisSettingKind::kInteger:
    case AnalysisSettingKind::kLong: return "integer";
    case AnalysisSettingKind::kTens: return "tens";
    case AnalysisSettingKind::kNumber: return "number";
    default: return "text";
    }
}

bool HasRange(LONG kind) { return kind != AnalysisSettingKind::kOnOff && kind != AnalysisSettingKind::kDetection; }

std::string RangeText(const AnalysisSettingInfo& info)
{
    if (!HasRange(info.kind)) {
        return "-";
    }
    return TableNumber(info.minimum) + " to " + TableNumber(info.maximum) +
           (info.kind == AnalysisSettingKind::kTens ? " in steps of ten" : "");
}

std::string DefaultText(const AnalysisSettingInfo& info)
{
    switch (info.kind) {
    case AnalysisSettingKind::kOnOff: return info.defaultValue != 0.0 ? "t" : "f";
    case AnalysisSettingKind::kDetection: return "\"\"";
    default: return TableNumber(info.defaultValue);
    }
}

// A number too large (or too small) for the setting's kind: "1e999" is a number, not one a setting can hold.
bool OutOfRange(const std::string& text, LONG kind)
{
    const auto outOfRange = [&](auto value) {
        const char* end = text.data() + text.size();
        const auto done = std::from_chars(text.data(), end, value);
        return done.ec == std::errc::result_out_of_range && done.ptr == end;
    };
    return kind == AnalysisSettingKind::kNumber ? outOfRange(0.0) : outOfRange(0LL);
}

bool IsWholeKind(LONG kind)
{
    return kind == AnalysisSettingKind::kInteger || kind == AnalysisSettingKind::kLong ||
           kind == AnalysisSettingKind::kTens;
}

// The number a text holds whole, read as the module reads a setting (the classic form; spaces around it allowed).
template <class Number>
std::optional<Number> ClassicNumber(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    Number value{};
    in >> value;
    return !in.fail() && (in >> std::ws).eof() ? std::optional<Number>(value) : std::nullopt;
}

void SetSetting(IAnalysisJob& job, const SettingsTables& tables, LONG id, const std::string& text,
                const std::string& what)
{
    const SettingsTables::Row* row = tables.Find(id);
    if (!row) {
        throw Failure(what + ": the analysis has no setting " + std::to_string(id) +
                          " (crestmetrics analyse --list-settings lists them)",
                      true);
    }
    platform::ComPtr<IKVOString> value = host::MakeString(platform::Utf8ToUtf16(text));
    const LONG kind = row->info.kind;
    // The module reads the leading whole number of "2.5" for an integer setting: 2 would be set without a word.
    const bool set =
        (!IsWholeKind(kind) || ClassicNumber<long long>(text)) && job.SetSettingText(id, value.Get()) == S_OK;
    if (!set) {
        const std::string shown = what == "--set" ? what + " " + std::to_string(id) : what;
        throw Failure(shown + ": \"" + text + "\" " +
                          (kind == AnalysisSettingKind::kOnOff ? "is not t or f"
                           : kind == AnalysisSettingKind::kDetection
                               ? "is no peak detection text: setting " + std::to_string(id) +
                                     " takes fields NAME=VALUE separated by \";\", each optional, such as "
                                     "\"dir=-1;height=5\" (see crestmetrics analyse --help); leave --set " +
                                     std::to_string(id) + " out to keep its value"
                           : OutOfRange(text, kind)    ? "is out of range (" + RangeText(row->info) + ")"
                           : IsWholeKind(kind) && ClassicNumber<double>(text) ? "is not a whole number"
                                                                              : "is not a number"),
                      true);
    }
}

// The setting's value as the document holds it, as text; empty for an id it does not have.
std::string SettingText(IAnalysisJob& job, LONG id)
{
    IKVOString* text = nullptr;
    return job.GetSettingText(id, &text) == S_OK ? platform::Utf16ToUtf8(host::TakeText(text)) : std::string();
}

std::optional<int> WholeNumberIn(const std::string& text)
{
    int value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() ? std::optional<int>(value)
                                                                               : std::nullopt;
}

// The field of a peak detection text (setting 1010) that makes it invalid, with what the field takes; the host's
// peak detection judges each field as it judges the whole text.
std::string DetectionTextFault(const std::string& text)
{
    static constexpr std::pair<const char*, const char*> kFields[] = {
        {"dir", "1 or -1"},          {"sd", "1 or 0"},          {"height", "a number of 0 or more"},
        {"interval", "0 or more s"}, {"transform", "0 or 1"},   {"smooth", "more than 0 and up to 10 s"},
        {"window", "more than 0 s"}, {"zero", "0 or 1"},        {"tag", "0 or more"},
    };
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::string_view field = rest.substr(0, rest.find(';'));
        rest.remove_prefix(std::min(rest.size(), field.size() + 1));
        if (field.empty() || host::ParseLMText(platform::Utf8ToUtf16(std::string(field)))) {
            continue;
        }
        const std::string_view name = field.substr(0, field.find('='));
        const auto known = std::find_if(std::begin(kFields), std::end(kFields),
                                        [&](const auto& known) { return name == known.first; });
        const std::string quoted = "\"" + std::string(field) + "\"";
        if (name.size() == field.size()) {
            return quoted + " is no NAME=VALUE field";
        }
        if (known == std::end(kFields)) {
            return quoted + ": no field \"" + std::string(name) +
                   "\" (dir, sd, height, interval, transform, smooth, window, zero)";
        }
        return quoted + ": " + known->first + " takes " + known->second;
    }
    const auto detection = host::ParseLMText(platform::Utf8ToUtf16(text));
    if (detection && detection->detect.height <= 0.0 && !detection->zeroHeightAllowed) {
        return "a height of 0 needs zero=1";
    }
    return "";
}

// Why a value does not fit its setting as the settings tables define it: its range, or the fields of a peak
// detection text; for a setting the settings dialog has no words for.
std::string TablesVerdict(const SettingsTables::Row* row, LONG id, const std::string& text)
{
    const std::string setting = "setting " + std::to_string(id);
    if (row && HasRange(row->info.kind)) {
        return setting + " must be in the range " + RangeText(row->info) + ".";
    }
    if (!row || row->info.kind != AnalysisSettingKind::kDetection) {
        return setting + " is not valid.";
    }
    const std::string fault = DetectionTextFault(text);
    return setting + " is not valid peak detection text" + (fault.empty() ? std::string() : ": " + fault) +
           " (see crestmetrics analyse --help).";
}

// The module's own verdict on the settings in use; Failure naming where the invalid value came from.
void RefuseInvalidSettings(IAnalysisJob& job, const SettingsTables& tables,
                           const std::vector<std::pair<LONG, std::string>>& given, const std::string& document)
{
    LONG id = 0;
    IKVOString* captionText = nullptr;
    IKVOString* explanationText = nullptr;
    if (job.FindInvalidSetting(&id, &captionText, &explanationText) != S_OK) {
        return;
    }
    const std::string caption = platform::Utf16ToUtf8(host::TakeText(captionText));
    const std::string explanation = platform::Utf16ToUtf8(host::TakeText(explanationText));
    // Without the settings dialog's words, the tables say what the setting takes.
    const std::string why =
        caption.empty() ? TablesVerdict(tables.Find(id), id, SettingText(job, id)) : caption + ": " + explanation;
    const auto set = std::find_if(given.rbegin(), given.rend(), [id](const auto& entry) { return entry.first == id; });
    if (set != given.rend()) {
        throw Failure("--set " + std::to_string(id) + "=" + set->second + ": " + why, true);
    }
    throw Failure((document.empty() ? std::string("the settings") : document) + ": " + why);
}

// True when a value the module took fits its setting's range (and steps), or is a peak detection text the host
// takes: what the module judges only for the settings of the analysis type in use.
bool FitsItsSetting(const AnalysisSettingInfo& info, const std::string& text)
{
    if (info.kind == AnalysisSettingKind::kDetection) {
        const auto detection = host::ParseLMText(platform::Utf8ToUtf16(text));
        return detection && (detection->detect.height > 0.0 || detection->zeroHeightAllowed);
    }
    if (!HasRange(info.kind)) {
        return true;
    }
    const auto value = ClassicNumber<double>(text);
    return value && info.minimum <= *value && *value <= info.maximum &&
           (info.kind != AnalysisSettingKind::kTens || std::fmod(*value, 10.0) == 0.0);
}

// Every --set value is checked, whatever the type uses: a saved document must not carry a value that another type
// would refuse.
void RefuseValuesOutsideTheirSettings(const SettingsTables& tables,
                                      const std::vector<std::pair<LONG, std::string>>& given)
{
    for (const auto& [id, text] : given) {
        const SettingsTables::Row* row = tables.Find(id);
        if (row && !FitsItsSetting(row->info, text)) {
            throw Failure("--set " + std::to_string(id) + "=" + text + ": " + TablesVerdict(row, id, text), true);
        }
    }
}

// The module's table view on the analysed document: its Export button writes the comma-separated file, and the
// host's print command prints it into a PDF. A message box the view shows is the command's failure. What was made,
// to be said once the files are in place.
std::vector<std::string> WriteFromTableView(host::Host& application, host::HostDocument& hostDocument,
                                            const std::string& csv, const std::string& pdf)
{
    std::vector<std::string> made;
    IDocViewClass* tableView = application.GetFramework().Documents().viewClasses.Find(u"Crestmetrics Table View");
    if (!tableView) {
        throw Failure("the module has no table view");
    }
    host::OpenedView opened = host::OpenView(application.Log(), tableView, &hostDocument);
    if (opened.created != S_OK || !opened.window) {
        throw Failure("the table view cannot be opened");
    }
    struct ViewCloser {
        host::OpenedView& opened;
        ~ViewCloser() { opened.view->Close(); }
    } closer{opened};
    std::vector<std::u16string> boxes;
    struct BoxHook {
        platform::MessageBoxHook previous;
        ~BoxHook() { platform::SetMessageBoxHook(std::move(previous)); }
    } boxHook{platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call.text);
        return platform::DefaultMessageBoxAnswer(call.type);
    })};

    if (!csv.empty()) {
        platform::SetPersonalFolder(platform::Utf8ToUtf16(std::filesystem::current_path().string()));
        const std::u16string path = platform::Utf8ToUtf16(csv);
        platform::SaveFileHook previous = platform::SetSaveFileHook(
            [&](const platform::SaveFileCall&) { return std::optional<std::u16string>(path); });
        const platform::AtomicFile::FailureWatch watch;
        SendMessageW(opened.window, WM_COMMAND, 1000, 0); // the Export button
        platform::SetSaveFileHook(std::move(previous));
        if (!boxes.empty()) {
            // The system's reason where a write failed, else the words of the view's message box.
            const int error = watch.Reason();
            const Failure failure = WriteFailure("the comma-separated table", csv, error);
            throw error != 0 ? failure : Failure(failure.what() + (": " + platform::Utf16ToUtf8(boxes.front())));
        }
        made.push_back("wrote " + csv);
    }
    if (!pdf.empty()) {
        const platform::AtomicFile::FailureWatch watch;
        const int pages = host::PrintViewToPdf(opened, pdf, 600);
        if (pages == 0 || !boxes.empty()) {
            throw WriteFailure("the table printout", pdf, watch.Reason());
        }
        made.push_back("printed " + std::to_string(pages) + " page(s) to " + pdf);
    }
    return made;
}

// A file an output option needs: "-" is refused, because standard output carries the table.
void RefuseStandardOutput(const std::string& option, const std::string& value)
{
    if (value.empty()) {
        throw Failure(option + " needs a file name", true);
    }
    if (value == "-") {
        throw Failure(option + " needs a file name: standard output (-) carries the table", true);
    }
}

// What the analysis view is to write: the event (from 1; 0 for every event) and the files.
struct ViewOutputs {
    int event = 1;
    std::string picture;
    std::string printout;

    void Take(const std::string& name, const std::string& value)
    {
        if (name == "--event") {
            event = value == "all" ? 0 : WholeNumber(name, value, 1, 0x7FFFFFFF);
        } else {
            RefuseStandardOutput(name, value);
            (name == "--view-png" ? picture : printout) = value;
        }
    }
    bool Wanted() const { return !picture.empty() || !printout.empty(); }
    // A usage error, found before anything is analysed or written.
    void Check() const
    {
        if (event == 0 && !picture.empty()) {
            throw Failure("--view-png shows one event: choose it with --event N", true);
        }
    }
    // What depends on the analysis, found before anything is written.
    void CheckEvents(IAnalysisJob& job) const
    {
        if (!Wanted()) {
            return;
        }
        LONG count = 0;
        job.SelectEvent(-1, &count);
        if (count == 0) {
            throw Failure("the analysis found no events to show in the analysis view");
        }
        if (event > count) {
            throw Failure("the analysis found " + std::to_string(count) + " event(s), not " + std::to_string(event));
        }
    }
};

// The host opens the analysis view on the analysed document, chooses the event as the user's scroll bar does,
// and saves the view's window as a picture and prints it (one page per event into one file).
void WriteView(const ViewOutputs& wanted, host::Host& host, host::HostDocument& hostDocument, IAnalysisJob& job,
               std::ostream& err, bool quiet)
{
    LONG count = 0;
    job.SelectEvent(-1, &count);
    IDocViewClass* viewClass = host.GetFramework().Documents().viewClasses.Find(u"Crestmetrics View");
    if (!viewClass) {
        throw Failure("the module has no analysis view");
    }
    host::OpenedView opened = host::OpenView(host.Log(), viewClass, &hostDocument);
    struct Closer {
        host::OpenedView& opened;
        ~Closer()
        {
            if (opened.view) {
                opened.view->Close();
            }
            ui::pump();
        }
    } closer{opened};
    if (FAILED(opened.created) || !opened.window) {
        throw Failure("the analysis view cannot be opened");
    }
    opened.frame->SetHasContent(true);
    const auto show = [&](int index) {
        job.SelectEvent(index, nullptr);
        ui::pump();
    };
    if (!wanted.picture.empty()) {
        show(wanted.event - 1);
        const platform::AtomicFile::FailureWatch watch;
        if (!host::SaveViewPicture(opened, wanted.picture)) {
            throw WriteFailure("the picture", wanted.picture, watch.Reason());
        }
    }
    if (!wanted.printout.empty()) {
        const int first = wanted.event == 0 ? 0 : wanted.event - 1;
        const int times = wanted.event == 0 ? static_cast<int>(count) : 1;
        const platform::AtomicFile::FailureWatch watch;
        const int pages = host::PrintViewRepeatedly(opened, wanted.printout, times, [&](int i) {
            show(first + i);
            if (!quiet && times > 1) {
                err << "crestmetrics: analyse: printing event " << first + i + 1 << " of " << count << '\n';
            }
        });
        if (pages == 0) {
            throw WriteFailure("the printout", wanted.printout, watch.Reason());
        }
    }
}

// The host chart document with its analysis manager, as the application makes it for an opened file (named after
// the file at `path`; none for a document of no file), and the module's analysis document on it; closes them when it
// goes.
class AnalysisDocument {
public:
    AnalysisDocument(host::Host& application, std::shared_ptr<host::Document> recording, const std::string& path)
    {
        host::Framework& framework = application.GetFramework();
        source_ = host::DataSource::Create(application, std::move(recording));
        source_->KeepCalculations(true); // thousands of blocks are opened one after another
        WORD managerShortId = 0;
        framework.GetShortId(&GUID_AnalysisManagerFamily, &managerShortId);
        manager_ = platform::ComPtr<host::AnalysisManager>::Adopt(
            host::AnalysisManager::Create(application.Log(), static_cast<DWORD>(managerShortId) << 16));
        hostDocument_ = host::HostDocument::Create(application.Log(), 1,
                                                   platform::ComPtr<host::ChartData>(&source_->GetChartData()));
        if (!path.empty()) {
            hostDocument_->SetFileName(path);
        }
        hostDocument_->SetApplication(platform::ComPtr<IUnknown>(static_cast<IHostObjectsById*>(manager_.Get())));
        // The host's own peak detection, which the unstimulated analysis types hand their detection to.
        // Its presets: the built-in ones and the user's, kept in the host's settings.
        peakDetection_ = platform::ComPtr<ILMDocExtension>(new host::LMDocExtension(
            nullptr, std::make_shared<host::LMPresetStore>(framework.SettingsStore().Values())));
        hostDocument_->SetExtensionSite(
            platform::ComPtr<IDocumentSite>(new host::LMDocumentSite(framework, peakDetection_.Get())));

        // The module's analysis document: the first registered document class whose documents can be driven.
        for (const auto& registration : framework.Documents().classRegistration.Registrations()) {
            document_ = hostDocument_->CreateDocument(registration->DocumentClass());
            if (document_ && SUCCEEDED(document_->QueryInterface(IID_IAnalysisJob, job_.OutVoid())) && job_) {
                break;
            }
            if (document_) {
                document_->Close();
            }
            document_ = {};
        }
        if (!job_) {
            hostDocument_->CloseDocuments();
            throw Failure("the module has no analysis document");
        }
    }
    ~AnalysisDocument()
    {
        hostDocument_->CloseDocuments();
        source_->DropKeptCalculations(); // they hold the source
    }
    AnalysisDocument(const AnalysisDocument&) = delete;
    AnalysisDocument& operator=(const AnalysisDocument&) = delete;

    IAnalysisJob& Job() { return *job_.Get(); }
    host::HostDocument& HostDocument() { return *hostDocument_.Get(); }

private:
    platform::ComPtr<host::DataSource> source_;
    platform::ComPtr<host::AnalysisManager> manager_;
    platform::ComPtr<host::HostDocument> hostDocument_;
    platform::ComPtr<ILMDocExtension> peakDetection_;
    platform::ComPtr<ICustomDocument2> document_;
    platform::ComPtr<IAnalysisJob> job_;
};

std::string TypeName(IAnalysisJob& job, int type)
{
    IKVOString* name = nullptr;
    return job.GetAnalysisTypeName(type, &name) == S_OK ? platform::Utf16ToUtf8(host::TakeText(name)) : "?";
}

// A number to 12 significant digits: a value converted between units without its last-bit noise.
std::string Rounded(double value)
{
    char buffer[64];
    const auto done = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 12);
    return std::string(buffer, done.ptr);
}

// A height in the base unit, beside the recording's own unit when that differs: "0.03 V (30 mV)".
std::string HeightWithUnit(const std::string& text, double value, const std::u16string& recordingUnit)
{
    const host::UnitParts unit = host::SplitUnit(recordingUnit);
    const std::string base = platform::Utf16ToUtf8(unit.base);
    const std::string shown = text + (base.empty() ? "" : " " + base);
    return unit.toBase == 1.0 ? shown
                              : shown + " (" + Rounded(value / unit.toBase) + " " +
                                    platform::Utf16ToUtf8(recordingUnit) + ")";
}

// A setting's value as --set takes it, with its unit: a height in the base unit beside the recording's own unit,
// and the height of a peak detection text with what it is measured in.
std::string ValueWithUnit(const std::string& text, Quantity quantity, const std::u16string& recordingUnit)
{
    if (quantity == Quantity::kMilliseconds) {
        return text + " ms";
    }
    if (quantity == Quantity::kDetectionText) {
        const auto detection = host::ParseLMText(platform::Utf8ToUtf16(text));
        if (!detection) {
            return text.empty() ? "\"\"" : text;
        }
        const double height = detection->detect.height;
        return (text.empty() ? "\"\"" : text) + " (height " +
               (detection->detect.thresholdInSD ? Rounded(height) + " S.D. of the noise"
                                                : HeightWithUnit(Rounded(height), height, recordingUnit)) +
               ")";
    }
    double value = 0.0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (quantity != Quantity::kHeight || parsed.ec != std::errc()) {
        return text.empty() ? "\"\"" : text;
    }
    return HeightWithUnit(text, value, recordingUnit);
}

// The recording's channel that the analysis reads (its source setting), when the recording has it.
std::optional<int> AnalysedChannel(IAnalysisJob& job, const host::Document& recording)
{
    const auto channel = WholeNumberIn(SettingText(job, kSourceChannelId));
    return channel && *channel >= 0 && *channel < recording.ChannelCount() ? channel : std::nullopt;
}

// The analysed channel's unit, when it has none or one the host does not know: its numbers were taken as written.
void WarnOfUnknownUnit(IAnalysisJob& job, const host::Document& recording, const std::string& path, std::ostream& err)
{
    const auto channel = AnalysedChannel(job, recording);
    try {
        if (channel) {
            host::RefuseUnitInBrackets(recording, *channel);
        }
        if (const auto warning = channel ? host::UnitWarning(recording, *channel) : std::nullopt) {
            err << "crestmetrics: analyse: " << path << ": warning: " << *warning << '\n';
        }
    } catch (const host::RecordingError& refusal) {
        throw Failure(path + ": " + refusal.what());
    }
}

// The settings as "ID=VALUE" with their units, separated by commas.
std::string SettingValues(IAnalysisJob& job, const std::vector<PageSetting>& settings, const std::u16string& unit)
{
    std::string values;
    for (const PageSetting& setting : settings) {
        const std::string text = SettingText(job, setting.id);
        values += (values.empty() ? "" : ", ") + std::to_string(setting.id) + "=" +
                  ValueWithUnit(text, setting.quantity, unit);
        if (setting.id == kStimulusMethodId && text == std::to_string(kNoStimulusMethod)) {
            values += " (none: no stimulus is searched for)";
        } else if (setting.id == kStimulusSearchStartId) {
            values += " (the artefact's peak must come after it)";
        }
    }
    return values;
}

// An empty table is a result, not a failure; but a detector that found nothing is more often set wrong than
// right, so the settings that decided it are said, with their units. So are those of the stimulus search when
// blocks had no stimulus, which give no row, and those of the evoked responses when stimuli were found without a
// response, whose rows hold no measurements.
void WarnOfEmptyResults(IAnalysisJob& job, const host::Document& recording, std::ostream& err)
{
    LONG count = 0;
    job.SelectEvent(-1, &count);
    LONG unanswered = 0;
    job.CountStimuliWithoutResponse(&unanswered);
    LONG withoutStimulus = 0;
    LONG blocks = 0;
    job.CountBlocksWithoutStimulus(&withoutStimulus, &blocks);
    if (count > 0 && unanswered == 0 && withoutStimulus == 0) {
        return;
    }
    const int type = WholeNumberIn(SettingText(job, kAnalysisTypeId)).value_or(-1);
    const auto channel = AnalysedChannel(job, recording);
    const std::u16string unit = channel ? recording.ChannelUnit(*channel) : std::u16string();
    const std::vector<PageSetting> decided =
        DetectionSettings(type, WholeNumberIn(SettingText(job, kStimulusMethodId)).value_or(-1),
                          SettingText(job, kDetectResponsesId) == "t");
    const auto warn = [&](const std::string& what, const std::function<bool(const PageSetting&)>& deciding) {
        std::vector<PageSetting> settings;
        std::ranges::copy_if(decided, std::back_inserter(settings), deciding);
        const std::string values = SettingValues(job, settings, unit);
        err << "crestmetrics: analyse: warning: " << what << ": " << TypeName(job, type) << " (type " << type << ")"
            << (values.empty() ? "" : " with " + values) << '\n';
    };
    // The stimulus search: the method and the settings of the method's own sub-page.
    const auto searching = [](const PageSetting& setting) {
        return setting.id == kStimulusMethodId || setting.methods != kEveryMethod;
    };
    const std::string blocksWithout = std::to_string(withoutStimulus) + " of " + std::to_string(blocks) +
                                      " blocks had no stimulus";
    if (count == 0) {
        // Every stimulus found gives a row: without rows, what decided is the stimulus search when it found none.
        if (withoutStimulus > 0) {
            warn("no events found: " + blocksWithout, searching);
        } else {
            warn("no events found", [](const PageSetting&) { return true; });
        }
        return;
    }
    if (withoutStimulus > 0) {
        warn(blocksWithout, searching);
    }
    if (unanswered > 0) {
        // The stimuli were found: what decided is the response detection.
        warn(std::to_string(unanswered) + " of " + std::to_string(count) + " stimuli had no response",
             [](const PageSetting& setting) { return setting.id == kDetectResponsesId || setting.withResponses; });
    }
}

// An evoked response's start is the last sample before its peak at or below the start level, else the end of its
// baseline: a baseline below the signal's own level (a fixed level set low, the lowest sample) finds it anywhere
// before the stimulus, and one on a stimulus artefact (the automatic baseline at 1007 = 0) finds it on the
// artefact itself. The numbers stay as measured; rows that start more than two samples before their stimulus, or
// on the artefact that stimulus methods 3 and 4 take as the stimulus (Latency 0), are counted with the settings that
// led there.
void WarnOfResponsesStartedEarly(IAnalysisJob& job, const host::Document& recording, std::ostream& err)
{
    constexpr int kEvokedResponse = 3;
    constexpr LONG kDetectionStartId = 1007;
    constexpr LONG kBaselineModeId = 1039;
    constexpr LONG kFixedBaselineId = 1040;
    const int type = WholeNumberIn(SettingText(job, kAnalysisTypeId)).value_or(-1);
    const int method = WholeNumberIn(SettingText(job, kStimulusMethodId)).value_or(-1);
    LONG rows = 0;
    job.SelectEvent(-1, &rows);
    if (type != kEvokedResponse || method == kNoStimulusMethod || rows == 0 || recording.BlockCount() == 0) {
        return;
    }
    double period = 0.0;
    for (int block = 0; block < recording.BlockCount(); ++block) {
        period = std::max(period, recording.TickPeriod(block));
    }
    // Latencies are whole samples: the halfway marks keep a float's rounding out of the count.
    const bool artefactIsStimulus = method == 3 || method == 4;
    constexpr LONG kLatencyCode = 47;
    LONG early = 0;
    for (LONG row = 0; row < rows; ++row) {
        double latency = 0.0;
        if (job.GetEventValue(row, kLatencyCode, &latency) == S_OK) {
            early += latency < -2.5 * period || (artefactIsStimulus && std::fabs(latency) < 0.5 * period);
        }
    }
    if (early == 0) {
        return;
    }
    const int mode = WholeNumberIn(SettingText(job, kBaselineModeId)).value_or(0);
    std::vector<PageSetting> settings{{Page::kBaseline, kBaselineModeId}};
    std::string advice;
    if (mode == 1) {
        settings.push_back({Page::kBaseline, kFixedBaselineId, Quantity::kHeight});
        advice = "set 1040 to the signal's own level before the stimulus, never below it";
    } else if (mode == 2) {
        advice = "the lowest sample lies below the signal's own level or on the artefact: set 1039=1 with 1040 at the "
                 "signal's own level before the stimulus";
    } else {
        settings.push_back({Page::kDetector, kDetectionStartId, Quantity::kMilliseconds});
        advice = "set 1007 past the artefact, or 1039=1 with 1040 at the signal's own level before the stimulus, "
                 "never below it";
    }
    const auto channel = AnalysedChannel(job, recording);
    err << "crestmetrics: analyse: warning: " << early << " of " << rows
        << " rows start before their stimulus or on its artefact, so their Latency and Height do not measure the "
           "response: "
        << TypeName(job, type) << " (type " << type << ") with "
        << SettingValues(job, settings, channel ? recording.ChannelUnit(*channel) : std::u16string()) << "; "
        << advice << '\n';
}

// The files the run reads, opened once, before the outputs are checked against them: what is compared is what is
// read, whatever their names lead to meanwhile. A pipe or a FIFO gives its bytes only once.
struct OpenedInputs {
    std::unique_ptr<host::InputFile> recording;
    std::unique_ptr<host::InputFile> document; // --from's; none without it
    std::string recordingIdentity;
    std::string documentIdentity;

    OpenedInputs(const std::string& recordingPath, const std::string& settingsFrom)
    {
        recording = Open(recordingPath);
        if (!settingsFrom.empty()) {
            document = Open(settingsFrom);
        }
        platform::StopAtTestPoint("inputs opened");
        recordingIdentity = OpenedIdentity(recording->Descriptor());
        if (document) {
            documentIdentity = OpenedIdentity(document->Descriptor());
        }
    }

private:
    static std::unique_ptr<host::InputFile> Open(const std::string& path)
    {
        try {
            return std::make_unique<host::InputFile>(path);
        } catch (const host::RecordingError& error) {
            throw Failure(path + ": " + error.what());
        }
    }
};

// An output the command line asks for: its option, its file (empty: standard output) and what is written there.
struct Output {
    std::string option;
    std::string path;
    std::string what;
    // Lines of text, which may follow what a shell's ">>" kept in the file; a document, a picture or a printout is
    // written whole, and never after other bytes.
    bool followsBytes = false;
};

// No output may replace the recording, the --from document or another output (an empty path: standard output,
// the file it is redirected to), nor be written whole after the bytes standard output's file holds: refused before
// anything is written. A saved document may be saved again where it came from, as the host's Save does: true when
// --save names the input, which the caller refuses unless the input was a saved document.
bool RefuseSharedFiles(const OpenedInputs& inputs, const std::vector<Output>& outputs)
{
    bool savesOverInput = false;
    const std::string& recordingFile = inputs.recordingIdentity;
    const std::string& documentFile = inputs.documentIdentity;
    std::vector<std::pair<std::string, std::string>> earlier; // option and identity
    const std::string standardOutput = StandardOutputIdentity();
    for (const auto& [option, path, what, followsBytes] : outputs) {
        const std::string file = path.empty() ? standardOutput : FileIdentity(path);
        if (file.empty()) {
            continue;
        }
        const std::string refused = path.empty() ? option : option + " " + path;
        if (file == recordingFile && option != "--save") {
            throw Failure(refused + kIsTheRecording, true);
        }
        savesOverInput = savesOverInput || file == recordingFile;
        if (!documentFile.empty() && file == documentFile) {
            throw Failure(refused + ": that is the --from document", true);
        }
        const auto same = std::find_if(earlier.begin(), earlier.end(), [&](const auto& e) { return e.second == file; });
        if (same != earlier.end()) {
            throw Failure(refused + ": that is also the file of " + same->first, true);
        }
        if (!followsBytes && file == standardOutput && HoldsBytes(STDOUT_FILENO)) {
            throw Failure(refused + ": that is the file of standard output, which is not empty: " + what +
                              " would follow what it holds",
                          true);
        }
        earlier.emplace_back(option, file);
    }
    return savesOverInput;
}

// The files of the outputs written whole, as FileIdentity gives them.
std::vector<std::string> WholeOutputFiles(const std::vector<Output>& outputs)
{
    std::vector<std::string> files;
    for (const Output& output : outputs) {
        if (!output.followsBytes) {
            files.push_back(FileIdentity(output.path));
        }
    }
    return files;
}

// An output whose name leads nowhere it can be written (a descriptor that was not open for writing as the run
// started, a closed standard one too; a link that cannot be followed) fails before anything is written.
void RefuseUnwritableOutputs(const std::vector<Output>& outputs)
{
    for (const auto& [option, path, what, followsBytes] : outputs) {
        if (const int error = path.empty() ? 0 : platform::FollowName(path).error; error != 0) {
            throw WriteFailure(what, path, error);
        }
    }
}

// The settings a user sets for an analysis type, as its settings dialog groups them: the detector, baseline and
// calculations pages, the table's columns, the analysis's own; then, apart, the global settings that the command
// line has no use for and those the analysis keeps for itself.
int ListSettings(const Options& options, int type, std::ostream& out)
{
    LoadedHost loaded(options.module);
    auto empty = host::Document::Create();
    empty->AddChannel(u"", u"");
    AnalysisDocument analysis(loaded.host, empty, {});
    const SettingsTables tables(analysis.Job(), type);
    out << "settings of analysis type " << type << " (" << TypeName(analysis.Job(), type) << "), for --set ID=TEXT:\n"
        << "   id  kind     default  range                    meaning\n";
    using Rows = std::vector<const SettingsTables::Row*>;
    const auto section = [&](const char* heading, const Rows& rows) {
        out << (rows.empty() ? "" : heading);
        for (const SettingsTables::Row* row : rows) {
            const AnalysisSettingInfo& info = row->info;
            char line[64];
            std::snprintf(line, sizeof line, "%5d  %-7s  %-7s  ", static_cast<int>(info.id),
                          KindName(info.kind).c_str(), DefaultText(info).c_str());
            std::string range = RangeText(info);
            range.resize(std::max<std::size_t>(range.size(), 23), ' ');
            out << line << range << "  " << row->description
                << (info.id == kAnalyseSelectionId ? "; t is refused: the command line has no selection" : "")
                << '\n';
        }
    };
    const auto matching = [&](const auto& wanted) {
        Rows rows;
        for (const SettingsTables::Row& row : tables.Rows()) {
            if (wanted(row.info)) {
                rows.push_back(&row);
            }
        }
        return rows;
    };
    static constexpr std::pair<Page, const char*> kPages[] = {
        {Page::kDetector, "detector page:\n"},
        {Page::kBaseline, "baseline page:\n"},
        {Page::kCalculations, "calculations page:\n"},
    };
    for (const auto& [page, heading] : kPages) {
        Rows rows;
        for (const PageSetting& setting : PageSettings(type)) {
            if (const SettingsTables::Row* row = tables.Find(setting.id); row && setting.page == page) {
                rows.push_back(row);
            }
        }
        section(heading, rows);
    }
    constexpr LONG kLastParameterCode = 58;
    section("on no page of the settings dialog:\n", matching([&](const AnalysisSettingInfo& info) {
                return info.id > kLastParameterCode && info.id < kAnalysisTypeId &&
                       (info.analysisTypes & (1u << type)) != 0 &&
                       std::ranges::none_of(PageSettings(type), [&](const PageSetting& s) { return s.id == info.id; });
            }));
    section("table columns:\n", matching([&](const AnalysisSettingInfo& info) {
                return info.id <= kLastParameterCode && (info.analysisTypes & (1u << type)) != 0;
            }));
    const auto global = [&](GlobalRole role) {
        return matching([role](const AnalysisSettingInfo& info) {
            return info.id >= kAnalysisTypeId && RoleOf(info.id) == role;
        });
    };
    section("the analysis and its outputs:\n", global(GlobalRole::kUsed));
    section("no effect on the command line (kept in a saved document for the host's windows):\n",
            global(GlobalRole::kNoEffect));
    section("kept by the analysis for itself (--set refuses them):\n", global(GlobalRole::kKept));
    return 0;
}

// What the command line asks of an analysis: its settings and its outputs.
struct AnalyseRequest {
    int type = -1;
    std::optional<int> channel; // from 1: --channel, or --set 2001 plus one
    std::string output; // empty: standard output
    std::string csv;
    std::string pdf;
    std::string saveTo;
    std::string settingsFrom;
    std::vector<std::pair<LONG, std::string>> settings;
    ViewOutputs view;

    // The outputs asked for, the table first: an empty path is standard output.
    std::vector<Output> Outputs() const
    {
        std::vector<Output> outputs = {{output.empty() ? "standard output" : "-o", output, "the table", true}};
        for (const Output& asked : std::initializer_list<Output>{
                 {"--save", saveTo, "the document"},
                 {"--view-png", view.picture, "the picture"},
                 {"--view-pdf", view.printout, "the printout"},
                 {"--csv", csv, "the comma-separated table", true},
                 {"--pdf", pdf, "the table printout"}}) {
            if (!asked.path.empty()) {
                outputs.push_back(asked);
            }
        }
        return outputs;
    }
};

// --set ID=TEXT as the command line takes it; the value itself is the module's to judge.
std::pair<LONG, std::string> ReadSetOption(const std::string& value)
{
    const auto equals = value.find('=');
    const std::string id = value.substr(0, equals);
    if (equals == std::string::npos) {
        throw Failure("--set needs ID=TEXT, one argument with \"=\" between the id and its value, not \"" + value +
                          "\"",
                      true);
    }
    const int number = WholeNumber("--set", id, 0, 0x7FFFFFFF);
    const std::string text = value.substr(equals + 1);
    // The type and the channel as --type and --channel check them: the module's ranges are wider.
    if (number == kAnalysisTypeId) {
        WholeNumber("--set 2000", text, 0, kLastAnalysisType);
    } else if (number == kSourceChannelId) {
        WholeNumber("--set 2001", text, 0, 0x7FFFFFFE);
    } else if (number >= kAnalysisTypeId && RoleOf(number) == GlobalRole::kKept) {
        throw Failure("--set " + value + ": setting " + id + " is kept by the analysis for itself, not set by a user",
                      true);
    } else if (number == kAnalyseSelectionId && text.starts_with('t')) {
        throw Failure("--set " + value + ": the command line has no selection; it analyses the whole recording", true);
    }
    return {number, text};
}

AnalyseRequest ReadAnalyseOptions(const Options& options)
{
    AnalyseRequest request;
    for (const auto& [name, value] : options.values) {
        if (name == "--type") {
            request.type = WholeNumber(name, value, 0, kLastAnalysisType);
        } else if (name == "--channel") {
            request.channel = WholeNumber(name, value, 1, 0x7FFFFFFF);
        } else if (name == "-o") {
            if (value.empty()) {
                throw Failure("-o needs a file name (- for standard output)", true);
            }
            request.output = value == "-" ? std::string() : value; // "-": standard output, as without -o
        } else if (name == "--csv") {
            // The table view writes comma-separated text only for a name ending in ".csv", as typed.
            if (value.size() < 5 || value.substr(value.size() - 4) != ".csv") {
                throw Failure("--csv needs a file name ending in .csv, not \"" + value + "\"", true);
            }
            request.csv = value;
        } else if (name == "--pdf") {
            RefuseStandardOutput(name, value);
            request.pdf = value;
        } else if (name == "--save") {
            RefuseStandardOutput(name, value);
            request.saveTo = value;
        } else if (name == "--from") {
            if (value.empty()) {
                throw Failure("--from needs a file name", true);
            }
            request.settingsFrom = value;
        } else if (name == "--event" || name == "--view-png" || name == "--view-pdf") {
            request.view.Take(name, value);
        } else {
            request.settings.push_back(ReadSetOption(value));
            if (const auto& [id, text] = request.settings.back(); id == kSourceChannelId) {
                request.channel = std::stoi(text) + 1; // as --channel: the last given wins
            }
        }
    }
    return request;
}

// --list-settings lists the settings of a type, nothing else: an option of an analysis would do nothing.
void RefuseAnalysisOptions(const Options& options)
{
    const auto other = std::find_if(options.values.begin(), options.values.end(),
                                    [](const auto& option) { return option.first != "--type"; });
    if (other != options.values.end()) {
        throw Failure("--list-settings takes only --type, not " + other->first, true);
    }
}

// The recording, and the saved analysis whose settings it is analysed with: a saved document brings its recording
// and the settings it was analysed with; --from takes the settings of another one.
struct AnalysisInput {
    std::shared_ptr<host::Document> recording;
    std::vector<std::vector<std::uint8_t>> savedStreams; // empty: the defaults
    std::string settingsSource;                          // the file the saved streams come from
};

AnalysisInput ReadAnalysisInput(OpenedInputs& opened, const std::string& path, const std::string& settingsFrom,
                                std::ostream& err)
{
    AnalysisInput read;
    read.settingsSource = path;
    try {
        host::InputFile& input = *opened.recording;
        if (host::IsSavedDocument(input)) {
            host::SavedDocument saved = host::ReadSavedDocumentFile(input);
            read.recording = std::move(saved.recording);
            read.savedStreams = std::move(saved.streams);
        } else {
            host::RecordingNotes notes;
            read.recording = host::ReadRecordingFile(input, &notes);
            if (const auto warning = host::TimeColumnWarning(notes, *read.recording)) {
                err << "crestmetrics: analyse: " << path << ": warning: " << *warning << '\n';
            }
        }
    } catch (const host::RecordingError& error) {
        throw Failure(path + ": " + error.what());
    }
    if (!settingsFrom.empty()) {
        try {
            read.savedStreams = host::ReadSavedDocumentFile(*opened.document).streams;
        } catch (const host::RecordingError& error) {
            throw Failure(settingsFrom + ": " + error.what());
        }
        read.settingsSource = settingsFrom;
        if (read.savedStreams.empty()) {
            throw Failure(settingsFrom + ": the saved document holds no analysis");
        }
    }
    return read;
}

// The channels that --channel and --set 2001 name must be the recording's.
void RefuseMissingChannels(const AnalyseRequest& request, const host::Document& recording)
{
    const auto checkChannel = [&](int number, const std::string& what) {
        if (number > recording.ChannelCount()) {
            throw Failure(what + "the recording has " + std::to_string(recording.ChannelCount()) +
                          " channel(s), not " + std::to_string(number));
        }
    };
    for (const auto& [id, text] : request.settings) {
        if (id == kSourceChannelId) {
            checkChannel(std::stoi(text) + 1, "--set 2001=" + text + " (channel " + std::to_string(std::stoi(text) + 1) +
                                                  "): ");
        }
    }
    if (request.channel) {
        checkChannel(*request.channel, "");
    }
}

// The saved source channel must be one of this recording's.
void RefuseMissingSavedChannel(IAnalysisJob& job, const AnalysisInput& input)
{
    const std::string saved = SettingText(job, kSourceChannelId);
    int index = -1;
    const auto parsed = std::from_chars(saved.data(), saved.data() + saved.size(), index);
    if (parsed.ec != std::errc() || index < 0 || index >= input.recording->ChannelCount()) {
        throw Failure(input.settingsSource + ": its analysis is of channel " +
                      (parsed.ec == std::errc() ? std::to_string(index + 1) : saved) + ", which the recording (" +
                      std::to_string(input.recording->ChannelCount()) + " channel(s)) does not have: give --channel");
    }
}

// The settings of the source channel (the module's tables list them before the global ones) as the document holds
// them; none when it holds no group for that channel.
std::vector<std::pair<LONG, std::string>> ChannelSettings(IAnalysisJob& job, const SettingsTables& tables)
{
    std::vector<std::pair<LONG, std::string>> settings;
    for (const SettingsTables::Row& row : tables.Rows()) {
        IKVOString* text = nullptr;
        if (row.info.id < kAnalysisTypeId && job.GetSettingText(row.info.id, &text) == S_OK) {
            settings.emplace_back(row.info.id, platform::Utf16ToUtf8(host::TakeText(text)));
        }
    }
    return settings;
}

// Before the document is opened, a setting of the source channel reads only when the document holds a group for it.
bool HoldsChannelSettings(IAnalysisJob& job, const SettingsTables& tables)
{
    const auto channelSetting = std::find_if(tables.Rows().begin(), tables.Rows().end(),
                                             [](const auto& row) { return row.info.id < kAnalysisTypeId; });
    IKVOString* text = nullptr;
    const bool held =
        channelSetting != tables.Rows().end() && job.GetSettingText(channelSetting->info.id, &text) == S_OK;
    host::TakeText(text);
    return held;
}

platform::ComPtr<IPersistStreamInit> DocumentPersistence(IAnalysisJob& job)
{
    platform::ComPtr<IPersistStreamInit> persistence;
    if (FAILED(job.GetPersistence(persistence.Out())) || !persistence) {
        throw Failure("the analysis document keeps no state");
    }
    return persistence;
}

// The saved settings, then the channel, the type and every --set on top, and the document opened on the
// recording; Failure when the settings in use are not valid.
void ApplySettings(IAnalysisJob& job, IPersistStreamInit& persistence, const AnalyseRequest& request,
                   const AnalysisInput& input)
{
    const SettingsTables tables(job, 0);
    // The extensions' streams in their order: the first that the analysis reads gives its settings.
    bool settingsLoaded = input.savedStreams.empty();
    for (const auto& bytes : input.savedStreams) {
        auto stream = platform::MemoryStream::Create(std::vector<BYTE>(bytes.begin(), bytes.end()));
        if (persistence.Load(stream.Get()) == S_OK) {
            settingsLoaded = true;
            break;
        }
    }
    if (!settingsLoaded) {
        throw Failure(input.settingsSource + ": the saved document holds no settings this analysis can read");
    }
    // A saved document keeps a settings group per source channel. On a channel other than the one it was analysed
    // on, it keeps the group it holds for that channel, or else takes the analysed channel's settings there, as the
    // settings dialog does when its source channel changes: the defaults would analyse with none of them.
    std::vector<std::pair<LONG, std::string>> carried;
    if (request.channel) {
        const std::string chosen = std::to_string(*request.channel - 1);
        if (!input.savedStreams.empty() && SettingText(job, kSourceChannelId) != chosen) {
            carried = ChannelSettings(job, tables);
        }
        SetSetting(job, tables, kSourceChannelId, chosen, "--channel");
        if (HoldsChannelSettings(job, tables)) {
            carried.clear();
        }
    } else if (input.savedStreams.empty()) {
        SetSetting(job, tables, kSourceChannelId, "0", "--channel");
    } else {
        RefuseMissingSavedChannel(job, input);
    }
    if (FAILED(job.Open())) {
        throw Failure("the analysis document cannot be opened on the recording");
    }
    for (const auto& [id, text] : carried) {
        // Values the document held itself; one the module would not take back stays at its default.
        job.SetSettingText(id, host::MakeString(platform::Utf8ToUtf16(text)).Get());
    }
    if (request.type >= 0) {
        SetSetting(job, tables, kAnalysisTypeId, std::to_string(request.type), "--type");
    }
    for (const auto& [id, text] : request.settings) {
        if (id != kSourceChannelId) { // set with the channel, before the document was opened
            SetSetting(job, tables, id, text, "--set");
        }
    }
    RefuseInvalidSettings(job, tables, request.settings,
                          input.savedStreams.empty() ? std::string() : input.settingsSource);
    RefuseValuesOutsideTheirSettings(tables, request.settings);
    if (!input.savedStreams.empty()) {
        // The module's range of the type is wider than its types: a saved 6 would analyse nothing.
        IKVOString* text = nullptr;
        const std::string saved =
            job.GetSettingText(kAnalysisTypeId, &text) == S_OK ? platform::Utf16ToUtf8(host::TakeText(text)) : "";
        int savedType = -1;
        const auto parsed = std::from_chars(saved.data(), saved.data() + saved.size(), savedType);
        if (parsed.ec != std::errc() || savedType < 0 || savedType > kLastAnalysisType) {
            throw Failure(input.settingsSource + ": its analysis type " + saved + " is none of 0 to " +
                          std::to_string(kLastAnalysisType) + ": give --type");
        }
    }
}

// Progress on standard error while it lives: a line for each new text of a display ("Block 2"), not for every
// percent.
class ProgressLines {
public:
    ProgressLines(host::Framework& framework, bool quiet, std::ostream& err) : framework_(framework)
    {
        framework.Progress().SetAvailable(true);
        framework.Progress().SetSink([this, quiet, &err](const host::ProgressReport& report) -> HRESULT {
            const std::u16string line = report.text.empty() ? report.title : report.title + u": " + report.text;
            // A percent between two steps, or a display closed and opened again (the table view copies its two
            // grids), is no new step.
            if (line.empty() || report.text.find(u'%') != std::u16string::npos || line == shown_) {
                return S_OK;
            }
            if (!quiet) {
                err << "crestmetrics: analyse: " << platform::Utf16ToUtf8(line) << '\n';
            }
            shown_ = line;
            return S_OK;
        });
    }
    ~ProgressLines() { framework_.Progress().SetSink({}); }
    ProgressLines(const ProgressLines&) = delete;
    ProgressLines& operator=(const ProgressLines&) = delete;

private:
    host::Framework& framework_;
    std::u16string shown_;
};

void Analyse(IAnalysisJob& job, bool typeGiven, bool quiet, std::ostream& err)
{
    if (!typeGiven && !quiet) {
        const int used = WholeNumberIn(SettingText(job, kAnalysisTypeId)).value_or(-1);
        err << "crestmetrics: analyse: analysis type " << used << " (" << TypeName(job, used) << ")\n";
    }
    if (job.Analyse() != S_OK) {
        throw Failure("nothing was analysed: the channel holds no samples to analyse");
    }
}

// The failure of the outputs' commit: the output that failed, and those already written before it.
Failure OutputsFailure(const platform::OutputBatch::Outcome& outcome, const std::vector<Output>& outputs)
{
    const auto find = [&outputs](const std::string& path) {
        return std::find_if(outputs.begin(), outputs.end(), [&path](const Output& output) {
            return output.path.empty() ? path == kTableToStandardOutput : output.path == path;
        });
    };
    const auto failed = find(outcome.failed);
    const std::string message = (failed == outputs.end() ? WriteFailure("", outcome.failed, outcome.error)
                                                         : WriteFailure(failed->what, failed->path, outcome.error))
                                    .what();
    std::string written;
    for (const std::string& path : outcome.written) {
        const auto output = find(path);
        written += (written.empty() ? "" : ", ") +
                   (output == outputs.end()
                        ? path
                        : output->what + " to " + (output->path.empty() ? "standard output" : output->path));
    }
    return Failure(message + (written.empty() ? "" : "; already written: " + written));
}

// The table, then the saved document, the analysis view's files and the table view's files; all of them or none.
// Each file is written whole beside its target first, and what goes through a descriptor is held: only when every
// output was made are the descriptors written and the files put in place.
void WriteOutputs(const AnalyseRequest& request, AnalysisDocument& analysis, host::Host& application,
                  IPersistStreamInit& persistence, const host::Document& recording, const Options& options,
                  std::ostream& out, std::ostream& err, const std::vector<Output>& outputs)
{
    IAnalysisJob& job = analysis.Job();
    platform::OutputBatch batch;
    // Standard output is written through the process's own descriptor (a pipe, a terminal, the file a shell
    // appends to), never through a copy in a temporary folder.
    if (request.output.empty() && !out.flush()) {
        throw WriteFailure("the table", request.output, 0);
    }
    {
        const platform::AtomicFile::FailureWatch watch;
        const std::string path = request.output.empty() ? std::string(kTableToStandardOutput) : request.output;
        if (job.ExportTable(host::MakeString(platform::Utf8ToUtf16(path)).Get()) != S_OK) {
            throw WriteFailure("the table", request.output, watch.Reason());
        }
    }
    if (!request.saveTo.empty()) {
        // After the table: the document keeps the column formats its export set up.
        auto stream = platform::MemoryStream::Create();
        const platform::AtomicFile::FailureWatch watch;
        if (persistence.Save(stream.Get(), TRUE) != S_OK ||
            !host::WriteSavedDocumentFile(request.saveTo, recording,
                                          {{stream->Data().begin(), stream->Data().end()}})) {
            throw WriteFailure("the document", request.saveTo, watch.Reason());
        }
    }
    if (request.view.Wanted()) {
        WriteView(request.view, application, analysis.HostDocument(), job, err, options.quiet);
    }
    std::vector<std::string> made;
    if (!request.csv.empty() || !request.pdf.empty()) {
        made = WriteFromTableView(application, analysis.HostDocument(), request.csv, request.pdf);
    }
    if (const platform::OutputBatch::Outcome outcome = batch.Commit(); outcome.error != 0) {
        throw OutputsFailure(outcome, outputs);
    }
    // Said only now: until the commit, the files were made beside their targets, and an old file stood in place.
    for (const std::string& line : made) {
        if (!options.quiet) {
            err << "crestmetrics: analyse: " << line << '\n';
        }
    }
}

} // namespace

int RunAnalyse(const Options& options, std::ostream& out, std::ostream& err)
{
    // The options first: "--set 1035 0.5" gives a second argument that is no recording.
    const bool listSettings = !options.flags.empty();
    const AnalyseRequest request = ReadAnalyseOptions(options);
    if (listSettings) {
        RefuseAnalysisOptions(options);
        if (!options.arguments.empty()) {
            throw Failure("--list-settings takes no recording", true);
        }
        return ListSettings(options, std::max(request.type, 0), out);
    }
    if (options.arguments.size() != 1) {
        throw Failure("needs one recording", true);
    }
    request.view.Check();
    const std::string& recordingPath = options.arguments[0];
    RefuseDashAsRecording(recordingPath);
    RefuseClosedInput(recordingPath);
    if (!request.settingsFrom.empty()) {
        RefuseClosedInput(request.settingsFrom);
    }
    // Each output's name is followed once, here: the checks below and the writes take the file it led to then, so
    // that a link swapped during the run cannot lead a write onto the recording.
    const std::vector<Output> outputs = request.Outputs();
    std::deque<platform::PinnedName> pinned;
    for (const Output& output : outputs) {
        if (!output.path.empty()) {
            pinned.emplace_back(output.path);
        }
    }
    // Before the inputs are opened: one of them may take the number of a descriptor that was not open at the start,
    // which an output names.
    RefuseUnwritableOutputs(outputs);
    OpenedInputs opened(recordingPath, request.settingsFrom);
    RefuseStandardErrorOnto({opened.recordingIdentity, opened.documentIdentity}, WholeOutputFiles(outputs));
    if (request.output.empty()) {
        RefuseStandardOutputOnto(opened.recordingIdentity);
    }
    const bool savesOverInput = RefuseSharedFiles(opened, outputs);
    if (request.output.empty()) {
        RefuseClosedStandardOutput();
    }

    const AnalysisInput input = ReadAnalysisInput(opened, recordingPath, request.settingsFrom, err);
    opened.recording.reset();
    opened.document.reset();
    if (savesOverInput && (input.savedStreams.empty() || !request.settingsFrom.empty())) {
        // Only a saved document, with its own settings, is saved again where it came from.
        throw Failure("--save " + request.saveTo + kIsTheRecording, true);
    }
    RefuseMissingChannels(request, *input.recording);

    LoadedHost loaded(options.module);
    AnalysisDocument analysis(loaded.host, input.recording, recordingPath);
    IAnalysisJob& job = analysis.Job();
    const platform::ComPtr<IPersistStreamInit> persistence = DocumentPersistence(job);
    ApplySettings(job, *persistence.Get(), request, input);
    WarnOfUnknownUnit(job, *input.recording, recordingPath, err);

    const ProgressLines progress(loaded.host.GetFramework(), options.quiet, err);
    Analyse(job, request.type >= 0, options.quiet, err);
    request.view.CheckEvents(job);
    WarnOfEmptyResults(job, *input.recording, err);
    WarnOfResponsesStartedEarly(job, *input.recording, err);
    WriteOutputs(request, analysis, loaded.host, *persistence.Get(), *input.recording, options, out, err, outputs);
    if (!options.quiet) {
        err << "crestmetrics: analyse: done\n";
    }
    return 0;
}

} // namespace cli
