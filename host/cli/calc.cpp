// crestmetrics calc TEXT RECORDING: the events of a calculation text in every block of a recording.
#include "host/cli/cli.h"
#include "host/datasource.h"
#include "host/hoststring.h"
#include "host/recording.h"
#include "host/saveddocument.h"
#include "platform/win/codepage.h"
#include "sdk/hostobjects.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace cli {

namespace {

constexpr std::size_t kFinalRecordSize = 344;
constexpr int kParameterCodes = 59;

// The byte offset of each parameter code's float in a final record; -1 for codes the record does not hold (they
// read as -1), -2 for the count, -3 for code 58 (0: time and date come from the position).
int CodeOffset(int code)
{
    switch (code) {
    case 0: return 116;
    case 1: return -2;
    case 2: return 36;
    case 3: return 120;
    case 4: return 124;
    case 5: return 128;
    case 6: case 7: case 8: case 22: return -1;
    case 9: return 192;
    case 10: return 132;
    case 21: return 88;
    case 32: return 232;
    case 33: return 136;
    case 43: return 292;
    case 44: return 296;
    case 45: return 300;
    case 46: return 148;
    case 47: return 152;
    case 48: return 156;
    case 49: return 304;
    case 50: return 308;
    case 51: return 164;
    case 52: return 288;
    case 58: return -3;
    default: break;
    }
    if (code >= 11 && code <= 16) return 168 + 4 * (code - 11);
    if (code >= 17 && code <= 20) return 272 + 4 * (code - 17);
    if (code >= 23 && code <= 31) return 196 + 4 * (code - 23);
    if (code >= 34 && code <= 42) return 236 + 4 * (code - 34);
    if (code >= 53 && code <= 57) return 312 + 4 * (code - 53);
    return -1;
}

float ValueByCode(const std::byte* record, int code)
{
    const int offset = CodeOffset(code);
    if (offset == -1) {
        return -1.0f;
    }
    if (offset == -3) {
        return 0.0f;
    }
    if (offset == -2) {
        std::int32_t count;
        std::memcpy(&count, record + 112, sizeof count);
        return static_cast<float>(count);
    }
    float value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

// Numbers as the C locale writes them, shortest form; a value that is not finite (the unset marker) as "-".
template <class T>
std::string Number(T value)
{
    if (!std::isfinite(value)) {
        return "-";
    }
    char buffer[64];
    std::to_chars_result done;
    // Values that came from a float record field are written as that float's shortest form.
    if constexpr (std::is_same_v<T, double>) {
        const auto narrow = static_cast<float>(value);
        done = static_cast<double>(narrow) == value ? std::to_chars(buffer, buffer + sizeof buffer, narrow)
                                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
    } else {
        done = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    return std::string(buffer, done.ptr);
}

// Seconds to 12 significant digits: the product of tick and interval without its last-bit noise.
std::string Time(double seconds)
{
    if (!std::isfinite(seconds)) {
        return "-";
    }
    char buffer[64];
    const auto done = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::general, 12);
    return std::string(buffer, done.ptr);
}

std::string ShowPlace(const std::string& text, std::size_t position)
{
    return "  " + text + "\n  " + std::string(position > 0 ? position - 1 : 0, ' ') + "^";
}

class Calculation {
public:
    Calculation(host::Host& host, host::DataSource& source, const std::u16string& text) : source_(source)
    {
        WORD shortId = 0;
        host.GetFramework().GetShortId(&CLSID_ChannelCalculation, &shortId);
        platform::ComPtr<ICalcEnumClass2> factory;
        host.GetFramework().GetObject(static_cast<DWORD>(shortId) << 16, IID_ICalcEnumClass2, factory.OutVoid());
        platform::ComPtr<IChannelData> channelData;
        source.QueryInterface(IID_IChannelData, channelData.OutVoid());
        if (!factory || FAILED(factory->CreateInstance(channelData.Get(), calc_.Out())) || !calc_) {
            throw Failure("the host's calculation evaluator is missing");
        }
        platform::ComPtr<IKVOString> parameters = host::MakeString(text);
        if (calc_->Parse(parameters.Get(), nullptr) != S_OK) {
            const auto& error = static_cast<host::CalcEvaluator*>(calc_.Get())->LastError();
            throw Failure(error ? error->Describe() + "\n" + ShowPlace(platform::Utf16ToUtf8(text), error->position)
                                : "the calculation text was refused");
        }
        calc_->QueryInterface(IID_IEnumEventEx, events_.OutVoid());
        host::CalcNode parsed;
        const host::ChannelSorter sorter = [&](const host::ChannelRef& ref) { return source.Sort(ref); };
        if (!host::ParseCalculationText(host.GetFramework(), text, sorter, parsed)) {
            refs_ = host::DistinctChannelRefs(parsed);
        }
    }

    // Every event of the block, as the module's driver reads them: sources set for the block, a seek to its
    // start, then blocks of records until the calculation reports the end.
    // The distinct channels the text reads.
    const std::vector<host::ChannelRef>& Channels() const { return refs_; }

    void Print(int block, std::ostream& out)
    {
        const double tickPeriod = source_.GetDocument().TickPeriod(block);
        // One enumerator per distinct channel reference, opened from the block's start, as the module's driver
        // hands them over.
        std::vector<platform::ComPtr<IUnknown>> opened(refs_.size());
        std::vector<IUnknown*> sources;
        for (std::size_t i = 0; i < refs_.size(); ++i) {
            const host::ChannelRef& ref = refs_[i];
            const DWORD kind = ref.isVirtual ? SourceKind::kVirtual : ref.raw ? SourceKind::kRaw : SourceKind::kContent;
            if (FAILED(source_.OpenEnum(kind | SourceKind::kOpen | SourceKind::kRecordTimeBase, ref.channel, 0, block,
                                        kEndOfBlockTick, 0, opened[i].Out()))) {
                throw Failure("channel " + std::to_string(ref.channel + 1) + " cannot be read in block " +
                              std::to_string(block + 1));
            }
            sources.push_back(opened[i].Get());
        }
        if (FAILED(calc_->SetSources(block, static_cast<LONG>(sources.size()), sources.data(), nullptr, tickPeriod,
                                     0))) {
            throw Failure("the calculation cannot read block " + std::to_string(block + 1));
        }
        calc_->SeekStart(0);
        LONG size = 0;
        events_->GetEventSize(&size);
        DWORD drawType = 0;
        events_->GetDrawType(&drawType);
        if (size < 16) {
            calc_->ReleaseSources();
            throw Failure("the calculation's events are too small to read");
        }
        std::vector<std::uint64_t> storage((64 * static_cast<std::size_t>(size) + 7) / 8);
        auto* bytes = reinterpret_cast<std::byte*>(storage.data());
        for (;;) {
            LONG count = 0;
            LONG next = 0;
            const HRESULT hr = events_->Next(64 * static_cast<ULONG>(size), -1, bytes, &count, &next);
            if (FAILED(hr)) {
                calc_->ReleaseSources();
                throw Failure("the calculation failed in block " + std::to_string(block + 1));
            }
            for (LONG i = 0; i < count; ++i) {
                PrintEvent(block, bytes + static_cast<std::size_t>(i) * size, static_cast<std::size_t>(size),
                           tickPeriod, drawType, out);
            }
            if (hr != S_OK) {
                break;
            }
        }
        calc_->ReleaseSources();
    }

    std::size_t EventSize() const
    {
        LONG size = 0;
        return SUCCEEDED(events_->GetEventSize(&size)) && size > 0 ? static_cast<std::size_t>(size) : 0;
    }

private:
    static void PrintEvent(int block, const std::byte* record, std::size_t size, double tickPeriod, DWORD drawType,
                           std::ostream& out)
    {
        std::int32_t tick;
        float offset;
        double value;
        std::memcpy(&tick, record, 4);
        std::memcpy(&offset, record + 4, 4);
        std::memcpy(&value, record + 8, 8);
        out << block + 1 << '\t' << tick << '\t' << Time((tick + static_cast<double>(offset)) * tickPeriod) << '\t'
            << (drawType & 0xFFFF) << '\t' << Number(value);
        if (size >= kFinalRecordSize) {
            for (int code = 0; code < kParameterCodes; ++code) {
                out << '\t' << Number(ValueByCode(record, code));
            }
        }
        out << '\n';
    }

    host::DataSource& source_;
    std::vector<host::ChannelRef> refs_;
    platform::ComPtr<ICalcEnum> calc_;
    platform::ComPtr<IEnumEventEx> events_;
};

// The text comes first: a first argument that is a file, beside a second that is none, is the two swapped.
void RefuseSwappedArguments(const std::string& text, const std::string& recording)
{
    std::error_code error;
    const bool recordingMissing = recording != "-" && !std::filesystem::exists(recording, error);
    if (recordingMissing && std::filesystem::is_regular_file(text, error)) {
        throw Failure("the recording, the second argument, \"" + recording + "\" is no file, and the first, \"" + text +
                          "\", is one: give the calculation text first, then the recording",
                      true);
    }
}

// A warning of the recording's, on standard error even when quiet.
void Warn(std::ostream& err, const std::string& path, const std::optional<std::string>& warning)
{
    if (warning) {
        err << "crestmetrics: calc: " << path << ": warning: " << *warning << '\n';
    }
}

} // namespace

int RunCalc(const Options& options, std::ostream& out, std::ostream& err)
{
    if (options.arguments.size() != 2) {
        throw Failure("needs a calculation text and a recording", true);
    }
    RefuseDashAsRecording(options.arguments[1]);
    RefuseClosedInput(options.arguments[1]);
    RefuseSwappedArguments(options.arguments[0], options.arguments[1]);
    const std::u16string text = platform::Utf8ToUtf16(options.arguments[0]);
    std::shared_ptr<host::Document> document;
    try {
        // Opened once: standard output and error are compared with the file that is read.
        host::InputFile input(options.arguments[1]);
        const std::string recording = OpenedIdentity(input.Descriptor());
        RefuseStandardErrorOnto({recording});
        RefuseStandardOutputOnto(recording);
        RefuseClosedStandardOutput();
        if (host::IsSavedDocument(input)) {
            throw Failure(options.arguments[1] +
                          ": a saved document: calc takes a text recording (analyse reads saved documents)");
        }
        host::RecordingNotes notes;
        document = host::ReadRecordingFile(input, &notes, "calc TEXT");
        Warn(err, options.arguments[1], host::TimeColumnWarning(notes, *document));
    } catch (const host::RecordingError& error) {
        throw Failure(options.arguments[1] + ": " + error.what());
    }
    LoadedHost loaded(options.module);
    auto source = host::DataSource::Create(loaded.host, document);
    Calculation calculation(loaded.host, *source.Get(), text);
    try {
        // Only the channels the text reads: a unit in square brackets elsewhere is read as no unit.
        for (const host::ChannelRef& ref : calculation.Channels()) {
            if (!ref.isVirtual && ref.channel >= 0 && ref.channel < document->ChannelCount()) {
                host::RefuseUnitInBrackets(*document, ref.channel);
            }
        }
    } catch (const host::RecordingError& error) {
        throw Failure(options.arguments[1] + ": " + error.what());
    }
    // Written as they are found: a list of them would take memory for each of a million channels.
    for (int channel = 0; channel < document->ChannelCount(); ++channel) {
        Warn(err, options.arguments[1], host::UnitWarning(*document, channel));
    }

    // Final records add their values by parameter code 0 to 58 after the value.
    out << "# block\ttick\ttime (s)\tdraw\tvalue";
    if (calculation.EventSize() >= kFinalRecordSize) {
        for (int code = 0; code < kParameterCodes; ++code) {
            out << "\tp" << code;
        }
    }
    out << '\n';
    Progress progress(err, "calc", options.quiet);
    for (int block = 0; block < document->BlockCount(); ++block) {
        progress.Step("block", block + 1, document->BlockCount());
        errno = 0;
        calculation.Print(block, out);
        if (!out) {
            throw WriteFailure("", "", errno); // no use evaluating the rest
        }
    }
    progress.Done();
    return 0;
}

} // namespace cli
