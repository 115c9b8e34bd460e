// Reading text recordings of 1 and 40 million samples (a time column and a cardiac channel at 10 kHz: Gaussian noise,
// plateaus and decays, written as a recording system writes them), beside a plain line parser in the same run: one
// line at a time, fields split at the tab, each number read with from_chars into a growing column of doubles, as
// numpy.loadtxt does. Each reports MB/s of text (bytes_per_second), samples per second, and the peak of resident
// memory the read adds, per sample (peak_bytes_per_sample; 4 bytes per sample are the stored samples). The reader
// parses pieces of the file on several threads; its one-thread figure shows what each thread does.
//
// A recording written row by row, its header and then one line of 64 to 256 MB that holds every sample, is refused
// (the header names two columns): the reader's time grows with the line's length as a plain read of the same bytes
// does (Complexity: oN), where it grew with its square.
//
// The same recording through a pipe, as `cat FILE | crestmetrics analyse /dev/stdin` gives it, is read as its bytes
// arrive: its peak of resident memory stays near the file's (peak_bytes_per_sample of both).
//
// A signal saved across a row instead of down a column, one line of 256 MB whose every field is a sample and no header
// before it, is refused once the line names more columns than a recording can have: peak_megabytes is the resident
// memory the refusal took.
//
// --recording_dir=DIR writes the files into DIR (recording_<samples>.txt) and keeps them, or reads them there when
// they exist, so that other readers (bench/recordingread_numpy.py) can be timed on the same bytes.
#include "bench/recordings.h"
#include "host/recording.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Where the files go: the temporary folder, removed at the end, unless --recording_dir names a folder to keep them.
fs::path recordingDir;

// The resident set now and its peak since the last reset, in bytes (Linux's /proc).
struct Resident {
    // Memory the allocator keeps from earlier runs would hide what a run adds: it goes back first.
    static void ResetPeak()
    {
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    static long long Field(const char* name)
    {
        std::ifstream status("/proc/self/status");
        std::string key;
        long long kilobytes = 0;
        while (status >> key) {
            if (key == name) {
                status >> kilobytes;
                return kilobytes * 1024;
            }
            status.ignore(1 << 20, '\n');
        }
        return 0;
    }
    static long long Now() { return Field("VmRSS:"); }
    static long long Peak() { return Field("VmHWM:"); }
};

struct File {
    fs::path path;
    std::int64_t samples = 0;
    std::int64_t bytes = 0;
};

// A recording file of `samples` lines, written once per run into the temporary folder.
const File& Recording(std::int64_t samples)
{
    static std::map<std::int64_t, File> made;
    File& file = made[samples];
    if (file.path.empty()) {
        file.path = recordingDir.empty() ? fs::temp_directory_path() / ("crestmetrics_bench_" +
                                                                         std::to_string(::getpid()) + "_" +
                                                                         std::to_string(samples) + ".txt")
                                         : recordingDir / ("recording_" + std::to_string(samples) + ".txt");
        file.samples = samples;
        if (!recordingDir.empty() && fs::exists(file.path)) {
            file.bytes = static_cast<std::int64_t>(fs::file_size(file.path));
            return file;
        }
        std::ofstream out(file.path, std::ios::binary);
        out << "Time (s)\tVm (mV)\n";
        std::string lines;
        char number[32];
        constexpr std::int32_t kStretch = 1 << 20;
        for (std::int64_t at = 0; at < samples; at += kStretch) {
            const auto length = static_cast<std::int32_t>(std::min<std::int64_t>(kStretch, samples - at));
            const benchrec::Recording rec = benchrec::Cardiac(length, static_cast<std::uint32_t>(at / kStretch + 1));
            lines.clear();
            for (std::int32_t i = 0; i < length; ++i) {
                lines.append(number, std::to_chars(number, number + sizeof number,
                                                   static_cast<double>(at + i) * benchrec::kTickPeriod,
                                                   std::chars_format::fixed, 4)
                                         .ptr);
                lines += '\t';
                lines.append(number, std::to_chars(number, number + sizeof number, rec.samples[i],
                                                   std::chars_format::fixed, 2)
                                         .ptr);
                lines += '\n';
            }
            out << lines;
        }
        out.close();
        file.bytes = static_cast<std::int64_t>(fs::file_size(file.path));
    }
    return file;
}

// A file of `bytes` bytes that holds a signal written across a row: `header`, then one line of samples.
const File& RowRecording(std::int64_t bytes, const std::string& header)
{
    static std::map<std::pair<std::int64_t, std::string>, File> made;
    File& file = made[{bytes, header}];
    if (file.path.empty()) {
        const std::string name = (header.empty() ? "acrossarow_" : "oneline_") + std::to_string(bytes) + ".txt";
        file.path = recordingDir.empty()
                        ? fs::temp_directory_path() / ("crestmetrics_bench_" + std::to_string(::getpid()) + "_" + name)
                        : recordingDir / name;
        if (recordingDir.empty() || !fs::exists(file.path)) {
            const benchrec::Recording rec = benchrec::Cardiac(1 << 20, header.empty() ? 2 : 1);
            std::string line;
            char number[32];
            for (std::int32_t i = 0; i < 1 << 20; ++i) {
                line.append(number, std::to_chars(number, number + sizeof number, rec.samples[i],
                                                  std::chars_format::fixed, 2)
                                        .ptr);
                line += '\t';
            }
            std::ofstream out(file.path, std::ios::binary);
            out << header;
            const std::int64_t lineBytes = bytes - static_cast<std::int64_t>(header.size()) - 1; // and its line feed
            for (std::int64_t written = 0; written < lineBytes;) {
                const auto size = std::min<std::int64_t>(static_cast<std::int64_t>(line.size()), lineBytes - written);
                out.write(line.data(), size);
                written += size;
            }
            out << '\n';
        }
        file.bytes = static_cast<std::int64_t>(fs::file_size(file.path));
        file.samples = 0;
    }
    return file;
}

// A recording of `bytes` bytes written row by row: a header, then one line of samples.
const File& OneLineRecording(std::int64_t bytes) { return RowRecording(bytes, "Time (s)\tVm (mV)\n"); }

// A signal saved across a row, and nothing else: one line of `bytes` bytes.
const File& AcrossARowRecording(std::int64_t bytes) { return RowRecording(bytes, ""); }

void RemoveFiles()
{
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        if (entry.path().filename().string().starts_with("crestmetrics_bench_" + std::to_string(::getpid()) + "_")) {
            fs::remove(entry.path());
        }
    }
}

void Report(benchmark::State& state, const File& file, long long peak)
{
    state.SetBytesProcessed(state.iterations() * file.bytes);
    state.SetItemsProcessed(state.iterations() * file.samples);
    state.counters["peak_bytes_per_sample"] = static_cast<double>(peak) / static_cast<double>(file.samples);
}

// Runs `read` once an iteration: the highest peak of resident memory that a run added.
template <class Read>
long long PeakOfRuns(benchmark::State& state, Read read)
{
    long long peak = 0;
    for (auto _ : state) {
        Resident::ResetPeak();
        const long long before = Resident::Now();
        read();
        peak = std::max(peak, Resident::Peak() - before);
    }
    return peak;
}

// The plain parser: a line at a time, split at tabs, numbers by from_chars into columns of doubles.
void PlainParse(benchmark::State& state)
{
    const File& file = Recording(state.range(0));
    const long long peak = PeakOfRuns(state, [&] {
        std::ifstream in(file.path, std::ios::binary);
        std::string line;
        std::getline(in, line); // the header
        std::vector<std::vector<double>> columns(2);
        while (std::getline(in, line)) {
            std::size_t column = 0;
            const char* at = line.data();
            const char* const end = at + line.size();
            while (at <= end && column < columns.size()) {
                const char* tab = std::find(at, end, '\t');
                double value = 0.0;
                if (std::from_chars(at, tab, value).ec != std::errc{}) {
                    state.SkipWithError("a line that is no number");
                    return;
                }
                columns[column++].push_back(value);
                at = tab + 1;
            }
        }
        benchmark::DoNotOptimize(columns.data());
    });
    Report(state, file, peak);
}

// The host's reader, as `analyse` and `calc` read a recording.
void ReadRecording(benchmark::State& state)
{
    const File& file = Recording(state.range(0));
    const long long peak = PeakOfRuns(state, [&] {
        auto document = host::ReadRecordingFile(file.path.string());
        benchmark::DoNotOptimize(document.get());
        if (document->Samples(0, 0).size() != static_cast<std::size_t>(file.samples)) {
            state.SkipWithError("the recording lost samples");
        }
    });
    Report(state, file, peak);
}

// The host's reader on the recording through a pipe, written into it by another thread as `cat` would.
void ReadRecordingFromPipe(benchmark::State& state)
{
    const File& file = Recording(state.range(0));
    const long long peak = PeakOfRuns(state, [&] {
        int ends[2];
        if (::pipe(ends) != 0) {
            state.SkipWithError("no pipe");
            return;
        }
        std::jthread writer([&file, in = ends[1]] {
            std::ifstream from(file.path, std::ios::binary);
            std::vector<char> piece(1 << 16);
            while (from.read(piece.data(), static_cast<std::streamsize>(piece.size())) || from.gcount() > 0) {
                for (std::streamsize done = 0; done < from.gcount();) {
                    const ssize_t n = ::write(in, piece.data() + done, static_cast<std::size_t>(from.gcount() - done));
                    if (n <= 0) {
                        ::close(in);
                        return;
                    }
                    done += n;
                }
            }
            ::close(in);
        });
        try {
            auto document = host::ReadRecordingFile("/dev/fd/" + std::to_string(ends[0]));
            benchmark::DoNotOptimize(document.get());
            if (document->Samples(0, 0).size() != static_cast<std::size_t>(file.samples)) {
                state.SkipWithError("the recording lost samples");
            }
        } catch (const host::RecordingError& error) {
            state.SkipWithError(error.what());
        }
        ::close(ends[0]);
        writer.join();
    });
    Report(state, file, peak);
}

// The same reader on one thread, over the text already in memory: what each thread does.
void ReadRecordingOneThread(benchmark::State& state)
{
    const File& file = Recording(state.range(0));
    std::ifstream in(file.path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    const long long peak = PeakOfRuns(state, [&] {
        auto document = host::ReadRecordingText(text, std::size_t{1} << 20, 1);
        benchmark::DoNotOptimize(document.get());
    });
    Report(state, file, peak);
}

// The plain read of a one-line recording: its bytes in pieces of 64 KB, line feeds counted.
void PlainReadOneLine(benchmark::State& state)
{
    const File& file = OneLineRecording(state.range(0));
    std::vector<char> piece(1 << 16);
    for (auto _ : state) {
        std::ifstream in(file.path, std::ios::binary);
        std::int64_t lineFeeds = 0;
        while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
            lineFeeds += std::count(piece.data(), piece.data() + in.gcount(), '\n');
        }
        benchmark::DoNotOptimize(lineFeeds);
    }
    state.SetBytesProcessed(state.iterations() * file.bytes);
    state.SetComplexityN(file.bytes);
}

// Reads a recording the host's reader must refuse; a read that is taken fails the benchmark with `taken`.
void ReadToItsRefusal(benchmark::State& state, const File& file, const char* taken)
{
    try {
        host::ReadRecordingFile(file.path.string());
        state.SkipWithError(taken);
    } catch (const host::RecordingError& error) {
        benchmark::DoNotOptimize(error.Line());
    }
}

// The host's reader on a one-line recording, to its refusal of the line.
void ReadOneLineRecording(benchmark::State& state)
{
    const File& file = OneLineRecording(state.range(0));
    for (auto _ : state) {
        ReadToItsRefusal(state, file, "a line of every sample was taken for a row");
    }
    state.SetBytesProcessed(state.iterations() * file.bytes);
    state.SetComplexityN(file.bytes);
}

// The host's reader on a signal saved across a row, to its refusal of the line.
void ReadAcrossARow(benchmark::State& state)
{
    const File& file = AcrossARowRecording(state.range(0));
    const long long peak =
        PeakOfRuns(state, [&] { ReadToItsRefusal(state, file, "a row of samples was taken for a recording"); });
    state.SetBytesProcessed(state.iterations() * file.bytes);
    state.counters["peak_megabytes"] = static_cast<double>(peak) / (1 << 20);
}

} // namespace

BENCHMARK(PlainParse)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadRecording)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadRecordingOneThread)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainParse)->Arg(40'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(ReadRecording)->Arg(40'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(ReadRecordingFromPipe)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadRecordingFromPipe)->Arg(40'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(PlainReadOneLine)->RangeMultiplier(2)->Range(64 << 20, 256 << 20)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Complexity(benchmark::oN);
BENCHMARK(ReadOneLineRecording)->RangeMultiplier(2)->Range(64 << 20, 256 << 20)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Complexity(benchmark::oN);
BENCHMARK(ReadAcrossARow)->Arg(256 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--recording_dir=")) {
            recordingDir = argument.substr(std::string_view("--recording_dir=").size());
            fs::create_directories(recordingDir);
            std::copy(argv + i + 1, argv + argc + 1, argv + i);
            --argc;
            --i;
        }
    }
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (recordingDir.empty()) {
        RemoveFiles();
    }
    return 0;
}
