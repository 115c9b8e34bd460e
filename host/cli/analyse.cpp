// crestmetrics analyse RECORDING: the module's analysis document on a recording, analysed as its analyse command
// does, and its table written as the table view's Export writes it.
#include "host/analysis.h"
#include "host/cli/cli.h"
#include "host/datasource.h"
#include "host/docframework.h"
#include "host/hoststring.h"
#include "host/loopmetry.h"
#include "host/recording.h"
#include "host/saveddocument.h"
#include "platform/com/memstream.h"
#include "platform/ui/window.h"
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
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace cli {

namespace {

// The analysis type, the source channel and the settings.
constexpr LONG kAnalysisTypeId = 2000;
constexpr LONG kSourceChannelId = 2001;
constexpr int kLastAnalysisType = 5;

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

void SetSetting(IAnalysisJob& job, const SettingsTables& tables, LONG id, const std::string& text,
                const std::string& what)
{
    const SettingsTables::Row* row = tables.Find(id);
    if (!row) {
        throw Failure(what + ": the analysis has no setting " + std::to_string(id));
    }
    platform::ComPtr<IKVOString> value = host::MakeString(platform::Utf8ToUtf16(text));
    if (job.SetSettingText(id, value.Get()) != S_OK) {
        const std::string shown = what == "--set" ? what + " " + std::to_string(id) : what;
        throw Failure(shown + ": \"" + text + "\" is not " +
                          (row->info.kind == AnalysisSettingKind::kOnOff ? "t or f" : "a number"),
                      true);
    }
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
    std::string why = caption + ": " + explanation;
    if (caption.empty()) {
        // The settings dialog has no words for it: its range says what it takes.
        const SettingsTables::Row* row = tables.Find(id);
        why = row && HasRange(row->info.kind)
                  ? "setting " + std::to_string(id) + " must be in the range " + RangeText(row->info) + "."
                  : "setting " + std::to_string(id) + " is not valid" +
                        (row && row->info.kind == AnalysisSettingKind::kDetection
                             ? " peak detection text (see crestmetrics analyse --help)."
                             : ".");
    }
    const auto set = std::find_if(given.rbegin(), given.rend(), [id](const auto& entry) { return entry.first == id; });
    if (set != given.rend()) {
        throw Failure("--set " + std::to_string(id) + "=" + set->second + ": " + why, true);
    }
    throw Failure((document.empty() ? std::string("the settings") : document) + ": " + why);
}

// The analysed channel's unit, when the host does not know it: its numbers were taken as written.
void WarnOfUnknownUnit(IAnalysisJob& job, const host::Document& recording, const std::string& path, std::ostream& err)
{
    IKVOString* text = nullptr;
    const std::string source = job.GetSettingText(kSourceChannelId, &text) == S_OK
                                   ? platform::Utf16ToUtf8(host::TakeText(text))
                                   : std::string();
    int channel = -1;
    const auto parsed = std::from_chars(source.data(), source.data() + source.size(), channel);
    if (parsed.ec != std::errc() || channel < 0 || channel >= recording.ChannelCount()) {
        return;
    }
    if (const auto warning = host::UnitWarning(recording, channel)) {
        err << "crestmetrics: analyse: " << path << ": warning: " << *warning << '\n';
    }
}

// A file name in the temporary folder that is removed when it goes.
class TemporaryFile {
public:
    TemporaryFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "crestmetrics-table-XXXXXX").string();
        const int handle = mkstemp(pattern.data());
        if (handle < 0) {
            throw Failure("cannot make a temporary file for the table");
        }
        close(handle);
        path_ = pattern;
    }
    ~TemporaryFile() { std::remove(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The module's table view on the analysed document: its Export button writes the comma-separated file, and the
// host's print command prints it into a PDF. A message box the view shows is the command's failure.
void WriteFromTableView(host::Host& application, host::HostDocument& hostDocument, const std::string& csv,
                        const std::string& pdf, bool quiet, std::ostream& err)
{
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
        SendMessageW(opened.window, WM_COMMAND, 1000, 0); // the Export button
        platform::SetSaveFileHook(std::move(previous));
        if (!boxes.empty()) {
            throw Failure(platform::Utf16ToUtf8(boxes.front()));
        }
        if (!quiet) {
            err << "crestmetrics: analyse: wrote " << csv << '\n';
        }
    }
    if (!pdf.empty()) {
        const int pages = host::PrintViewToPdf(opened, pdf, 600);
        if (pages == 0 || !boxes.empty()) {
            throw Failure("cannot print the table to " + pdf);
        }
        if (!quiet) {
            err << "crestmetrics: analyse: printed " << pages << " page(s) to " << pdf << '\n';
        }
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
        } else if (value.empty()) {
            throw Failure(name + " needs a file name", true);
        } else {
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
        if (!host::SaveViewPicture(opened, wanted.picture)) {
            throw Failure("cannot write the picture to " + wanted.picture);
        }
    }
    if (!wanted.printout.empty()) {
        const int first = wanted.event == 0 ? 0 : wanted.event - 1;
        const int times = wanted.event == 0 ? static_cast<int>(count) : 1;
        const int pages = host::PrintViewRepeatedly(opened, wanted.printout, times, [&](int i) {
            show(first + i);
            if (!quiet && times > 1) {
                err << "crestmetrics: analyse: printing event " << first + i + 1 << " of " << count << '\n';
            }
        });
        if (pages == 0) {
            throw Failure("cannot write the printout to " + wanted.printout);
        }
    }
}

// The host chart document with its analysis manager, as the application makes it for an opened file, and the
// module's analysis document on it; closes them when it goes.
class AnalysisDocument {
public:
    AnalysisDocument(host::Host& application, std::shared_ptr<host::Document> recording)
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

// The settings an analysis type uses, as the module's tables define them: its per-channel settings (with the
// parameters' table columns), then the global ones.
int ListSettings(const Options& options, int type, std::ostream& out)
{
    LoadedHost loaded(options.module);
    auto empty = host::Document::Create();
    empty->AddChannel(u"", u"");
    AnalysisDocument analysis(loaded.host, empty);
    IKVOString* name = nullptr;
    const std::string typeName =
        analysis.Job().GetAnalysisTypeName(type, &name) == S_OK ? platform::Utf16ToUtf8(host::TakeText(name)) : "?";
    const SettingsTables tables(analysis.Job(), type);
    out << "settings of analysis type " << type << " (" << typeName << "), for --set ID=TEXT:\n"
        << "   id  kind     default  range                    meaning\n";
    const auto bit = 1u << type;
    for (const SettingsTables::Row& row : tables.Rows()) {
        const AnalysisSettingInfo& info = row.info;
        if (info.id < 2000 && (info.analysisTypes & bit) == 0) {
            continue; // a setting of another type's, or one that nothing reads any more
        }
        char line[64];
        std::snprintf(line, sizeof line, "%5d  %-7s  %-7s  ", static_cast<int>(info.id), KindName(info.kind).c_str(),
                      DefaultText(info).c_str());
        std::string range = RangeText(info);
        range.resize(std::max<std::size_t>(range.size(), 23), ' ');
        out << line << range << "  " << row.description << '\n';
    }
    return 0;
}

} // namespace

int RunAnalyse(const Options& options, std::ostream& out, std::ostream& err)
{
    const bool listSettings = !options.flags.empty();
    if (options.arguments.size() != (listSettings ? 0u : 1u)) {
        throw Failure(listSettings ? "--list-settings takes no recording" : "needs one recording", true);
    }
    int type = -1;
    std::optional<int> channel;
    std::string output;
    std::string csv;
    std::string pdf;
    std::string saveTo;
    std::string settingsFrom;
    std::vector<std::pair<LONG, std::string>> settings;
    ViewOutputs view;
    for (const auto& [name, value] : options.values) {
        if (name == "--type") {
            type = WholeNumber(name, value, 0, kLastAnalysisType);
        } else if (name == "--channel") {
            channel = WholeNumber(name, value, 1, 0x7FFFFFFF);
        } else if (name == "-o") {
            output = value;
        } else if (name == "--csv") {
            // The table view writes comma-separated text only for a name ending in ".csv", as typed.
            if (value.size() < 5 || value.substr(value.size() - 4) != ".csv") {
                throw Failure("--csv needs a file name ending in .csv, not \"" + value + "\"", true);
            }
            csv = value;
        } else if (name == "--pdf") {
            pdf = value;
        } else if (name == "--save") {
            saveTo = value;
        } else if (name == "--from") {
            settingsFrom = value;
        } else if (name == "--event" || name == "--view-png" || name == "--view-pdf") {
            view.Take(name, value);
        } else {
            const auto equals = value.find('=');
            const std::string id = value.substr(0, equals);
            if (equals == std::string::npos) {
                throw Failure("--set needs ID=TEXT, not \"" + value + "\"", true);
            }
            const int number = WholeNumber("--set", id, 0, 0x7FFFFFFF);
            const std::string text = value.substr(equals + 1);
            // The type and the channel as --type and --channel check them: the module's ranges are wider.
            if (number == kAnalysisTypeId) {
                WholeNumber("--set 2000", text, 0, kLastAnalysisType);
            } else if (number == kSourceChannelId) {
                WholeNumber("--set 2001", text, 0, 0x7FFFFFFE);
            }
            settings.emplace_back(number, text);
        }
    }
    view.Check();
    if (listSettings) {
        return ListSettings(options, std::max(type, 0), out);
    }

    // A saved document brings its recording and the settings it was analysed with; --from takes the settings of
    // another one.
    std::shared_ptr<host::Document> recording;
    std::vector<std::vector<std::uint8_t>> savedStreams;
    std::string settingsSource = options.arguments[0];
    try {
        // Opened and read once: a pipe or a FIFO gives its bytes only once.
        host::InputFile input(options.arguments[0]);
        if (host::IsSavedDocument(input)) {
            host::SavedDocument saved = host::ReadSavedDocumentFile(input);
            recording = std::move(saved.recording);
            savedStreams = std::move(saved.streams);
        } else {
            host::RecordingNotes notes;
            recording = host::ReadRecordingFile(input, &notes);
            if (const auto warning = host::TimeColumnWarning(notes)) {
                err << "crestmetrics: analyse: " << options.arguments[0] << ": warning: " << *warning << '\n';
            }
        }
    } catch (const host::RecordingError& error) {
        throw Failure(options.arguments[0] + ": " + error.what());
    }
    if (!settingsFrom.empty()) {
        try {
            savedStreams = host::ReadSavedDocumentFile(settingsFrom).streams;
        } catch (const host::RecordingError& error) {
            throw Failure(settingsFrom + ": " + error.what());
        }
        settingsSource = settingsFrom;
        if (savedStreams.empty()) {
            throw Failure(settingsFrom + ": the saved document holds no analysis");
        }
    }
    const auto checkChannel = [&](int number, const std::string& what) {
        if (number > recording->ChannelCount()) {
            throw Failure(what + "the recording has " + std::to_string(recording->ChannelCount()) +
                          " channel(s), not " + std::to_string(number));
        }
    };
    if (channel) {
        checkChannel(*channel, "");
    }
    for (const auto& [id, text] : settings) {
        if (id == kSourceChannelId) {
            checkChannel(std::stoi(text) + 1, "--set 2001=" + text + " (channel " + std::to_string(std::stoi(text) + 1) +
                                                  "): ");
        }
    }
    LoadedHost loaded(options.module);
    host::Framework& framework = loaded.host.GetFramework();
    AnalysisDocument analysis(loaded.host, recording);
    IAnalysisJob& job = analysis.Job();
    host::HostDocument& hostDocument = analysis.HostDocument();
    const SettingsTables tables(job, 0);

    platform::ComPtr<IPersistStreamInit> persistence;
    if (FAILED(job.GetPersistence(persistence.Out())) || !persistence) {
        throw Failure("the analysis document keeps no state");
    }
    // The extensions' streams in their order: the first that the analysis reads gives its settings.
    bool settingsLoaded = savedStreams.empty();
    for (const auto& bytes : savedStreams) {
        auto stream = platform::MemoryStream::Create(std::vector<BYTE>(bytes.begin(), bytes.end()));
        if (persistence->Load(stream.Get()) == S_OK) {
            settingsLoaded = true;
            break;
        }
    }
    if (!settingsLoaded) {
        throw Failure(settingsSource + ": the saved document holds no settings this analysis can read");
    }
    if (channel || savedStreams.empty()) {
        SetSetting(job, tables, kSourceChannelId, std::to_string(channel.value_or(1) - 1), "--channel");
    } else {
        // The saved source channel must be one of this recording's.
        IKVOString* text = nullptr;
        const HRESULT read = job.GetSettingText(kSourceChannelId, &text);
        const std::string saved = read == S_OK ? platform::Utf16ToUtf8(host::TakeText(text)) : std::string();
        int index = -1;
        const auto parsed = std::from_chars(saved.data(), saved.data() + saved.size(), index);
        if (parsed.ec != std::errc() || index < 0 || index >= recording->ChannelCount()) {
            throw Failure(settingsSource + ": its analysis is of channel " +
                          (parsed.ec == std::errc() ? std::to_string(index + 1) : saved) + ", which the recording (" +
                          std::to_string(recording->ChannelCount()) + " channel(s)) does not have: give --channel");
        }
    }
    if (FAILED(job.Open())) {
        throw Failure("the analysis document cannot be opened on the recording");
    }
    if (type >= 0) {
        SetSetting(job, tables, kAnalysisTypeId, std::to_string(type), "--type");
    }
    for (const auto& [id, text] : settings) {
        SetSetting(job, tables, id, text, "--set");
    }
    RefuseInvalidSettings(job, tables, settings, savedStreams.empty() ? std::string() : settingsSource);
    if (!savedStreams.empty()) {
        // The module's range of the type is wider than its types: a saved 6 would analyse nothing.
        IKVOString* text = nullptr;
        const std::string saved =
            job.GetSettingText(kAnalysisTypeId, &text) == S_OK ? platform::Utf16ToUtf8(host::TakeText(text)) : "";
        int savedType = -1;
        const auto parsed = std::from_chars(saved.data(), saved.data() + saved.size(), savedType);
        if (parsed.ec != std::errc() || savedType < 0 || savedType > kLastAnalysisType) {
            throw Failure(settingsSource + ": its analysis type " + saved + " is none of 0 to " +
                          std::to_string(kLastAnalysisType) + ": give --type");
        }
    }
    WarnOfUnknownUnit(job, *recording, options.arguments[0], err);

    // Progress on standard error: a line for each new text of a display ("Block 2"), not for every percent.
    std::u16string shown;
    framework.Progress().SetAvailable(true);
    framework.Progress().SetSink([&](const host::ProgressReport& report) -> HRESULT {
        const std::u16string line = report.text.empty() ? report.title : report.title + u": " + report.text;
        if (!options.quiet && line != shown && !line.empty() && report.text.find(u'%') == std::u16string::npos) {
            err << "crestmetrics: analyse: " << platform::Utf16ToUtf8(line) << '\n';
        }
        shown = line;
        return S_OK;
    });
    struct SinkReset {
        host::Framework& framework;
        ~SinkReset() { framework.Progress().SetSink({}); }
    } sinkReset{framework};

    if (job.Analyse() != S_OK) {
        throw Failure("nothing was analysed: the channel holds no samples to analyse");
    }
    view.CheckEvents(job);
    std::optional<TemporaryFile> temporary;
    if (output.empty()) {
        temporary.emplace();
    }
    const std::string path = output.empty() ? temporary->Path() : output;
    const HRESULT written = job.ExportTable(host::MakeString(platform::Utf8ToUtf16(path)).Get());
    if (written != S_OK) {
        throw Failure("cannot write the table to " + (output.empty() ? std::string("a temporary file") : output));
    }
    if (!saveTo.empty()) {
        auto stream = platform::MemoryStream::Create();
        if (persistence->Save(stream.Get(), TRUE) != S_OK ||
            !host::WriteSavedDocumentFile(saveTo, *recording, {{stream->Data().begin(), stream->Data().end()}})) {
            throw Failure("cannot save the document to " + saveTo);
        }
    }
    if (temporary) {
        std::ifstream table(path, std::ios::binary);
        if (table.peek() != std::ifstream::traits_type::eof()) {
            out << table.rdbuf();
        }
        if (!out.flush()) {
            throw Failure("cannot write to standard output");
        }
    }
    if (view.Wanted()) {
        WriteView(view, loaded.host, hostDocument, job, err, options.quiet);
    }
    if (!csv.empty() || !pdf.empty()) {
        WriteFromTableView(loaded.host, hostDocument, csv, pdf, options.quiet, err);
    }
    if (!options.quiet) {
        err << "crestmetrics: analyse: done\n";
    }
    return 0;
}

} // namespace cli
