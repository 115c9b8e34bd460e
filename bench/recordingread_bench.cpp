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
// Recordings of many columns and few lines (256 x 100,000 to 999,999 x 3, a time column and channels of values of a
// few characters such as "1.5" and "-0.73"), read by `crestmetrics calc` as a process of its own, from the file and
// through a pipe as standard input: the whole process's peak resident memory (peak_MB) against what the same header
// without sample lines takes (header_MB) and the samples as floats (samples_MB). A row fails beyond
// header_MB + 2 x samples_MB + 64 MB (bound_MB), and the widest also beyond 1 GB or 10 s.
//
// --recording_dir=DIR writes the files into DIR (recording_<samples>.txt) and keeps them, or reads them there when
// they exist, so that other readers (bench/recordingread_numpy.py) can be timed on the same bytes.
#include "bench/recordings.h"
#include "host/recording.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <map>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
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

// A recording of `columns` columns, a time column and channels, and `lines` lines of values of a few characters;
// with no lines, its header alone.
const File& WideRecording(std::int64_t columns, std::int64_t lines)
{
    static std::map<std::pair<std::int64_t, std::int64_t>, File> made;
    File& file = made[{columns, lines}];
    if (!file.path.empty()) {
        return file;
    }
    const std::string name = "wide_" + std::to_string(columns) + "x" + std::to_string(lines) + ".txt";
    file.path = recordingDir.empty()
                    ? fs::temp_directory_path() / ("crestmetrics_bench_" + std::to_string(::getpid()) + "_" + name)
                    : recordingDir / name;
    file.samples = (columns - 1) * lines;
    if (recordingDir.empty() || !fs::exists(file.path)) {
        static constexpr std::string_view kValues[] = {"1.5", "-0.73", "0.2", "-12.25", "3", "-0.5", "0.05", "7.1"};
        std::ofstream out(file.path, std::ios::binary);
        std::string text = "Time (s)";
        for (std::int64_t column = 1; column < columns; ++column) {
            text += "\tc" + std::to_string(column) + " (mV)";
        }
        text += '\n';
        char number[32];
        for (std::int64_t line = 0; line < lines; ++line) {
            text.append(number, std::to_chars(number, number + sizeof number, static_cast<double>(line) * 1e-3,
                                              std::chars_format::fixed, 3)
                                    .ptr);
            for (std::int64_t column = 1; column < columns; ++column) {
                text += '\t';
                text += kValues[static_cast<std::size_t>(line * 3 + column) % std::size(kValues)];
            }
            text += '\n';
            if (text.size() > (1 << 20)) {
                out << text;
                text.clear();
            }
        }
        out << text;
    }
    file.bytes = static_cast<std::int64_t>(fs::file_size(file.path));
    return file;
}

// Writes a file into a pipe as `cat` would, until its reader stops reading, and closes the pipe.
void WriteInto(int pipe, const File& file)
{
    std::ifstream from(file.path, std::ios::binary);
    std::vector<char> piece(1 << 16);
    while (from.read(piece.data(), static_cast<std::streamsize>(piece.size())) || from.gcount() > 0) {
        for (std::streamsize done = 0; done < from.gcount();) {
            const ssize_t n = ::write(pipe, piece.data() + done, static_cast<std::size_t>(from.gcount() - done));
            if (n <= 0) {
                ::close(pipe);
                return;
            }
            done += n;
        }
    }
    ::close(pipe);
}

struct ProgramRun {
    bool exited = false; // with status 0
    double seconds = 0.0;
    long long peak = 0; // bytes
};

// Runs `crestmetrics calc` on a recording, from its file or through a pipe as standard input, with its outputs
// thrown away: its time and the peak of its resident memory.
ProgramRun RunCalc(const File& file, bool piped)
{
    const std::string program = (fs::canonical("/proc/self/exe").parent_path() / "crestmetrics").string();
    const std::string path = piped ? "/dev/stdin" : file.path.string();
    const char* const argv[] = {program.c_str(), "calc", "cappeakdet(ch1, 0.05, 2)", path.c_str(), "--quiet",
                                nullptr};
    int ends[2] = {-1, -1};
    if (piped && ::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    std::signal(SIGPIPE, SIG_IGN); // a run that stops reading ends the writer's writes, not the benchmark
    Resident::ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        // The child's peak would start at this process's: it starts at what the child holds now.
        const int clear = ::open("/proc/self/clear_refs", O_WRONLY);
        if (clear >= 0 && ::write(clear, "5", 1) == 1) {
            ::close(clear);
        }
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (piped) {
            ::dup2(ends[0], 0);
        }
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    if (piped) {
        ::close(ends[0]);
        if (child > 0) {
            WriteInto(ends[1], file);
        } else {
            ::close(ends[1]);
        }
    }
    int status = 0;
    rusage usage{};
    ProgramRun run;
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child) {
        run.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.peak = static_cast<long long>(usage.ru_maxrss) * 1024;
    }
    return run;
}

// A wide recording read by `calc`, from its file or through a pipe, against its bound.
void ReadWideRecording(benchmark::State& state, bool piped)
{
    const File& header = WideRecording(state.range(0), 0);
    const File& file = WideRecording(state.range(0), state.range(1));
    // The header alone is refused for want of samples; its peak is what the columns take.
    const long long headerPeak = RunCalc(header, piped).peak;
    long long peak = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        const ProgramRun run = RunCalc(file, piped);
        if (!run.exited) {
            state.SkipWithError(("calc failed after " + std::to_string(run.seconds) + " s, at " +
                                 std::to_string(run.peak >> 20) + " MB")
                                    .c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peak);
        seconds = std::max(seconds, run.seconds);
    }
    constexpr double kMegabyte = 1 << 20;
    const double samples = static_cast<double>(file.samples) * sizeof(float);
    const double bound = static_cast<double>(headerPeak) + 2 * samples + 64 * kMegabyte;
    state.SetBytesProcessed(state.iterations() * file.bytes);
    state.counters["peak_MB"] = static_cast<double>(peak) / kMegabyte;
    state.counters["header_MB"] = static_cast<double>(headerPeak) / kMegabyte;
    state.counters["samples_MB"] = samples / kMegabyte;
    state.counters["bound_MB"] = bound / kMegabyte;
    // An error hides the counters: it names the figures itself.
    const std::string figures = ": " + std::to_string(peak >> 20) + " MB at the peak (the bound " +
                                std::to_string(static_cast<long long>(bound / kMegabyte)) + " MB), " +
                                std::to_string(seconds) + " s";
    if (static_cast<double>(peak) > bound) {
        state.SkipWithError(("the peak of resident memory is beyond the bound" + figures).c_str());
    } else if (state.range(0) >= 999'999 && (static_cast<double>(peak) > 1024 * kMegabyte || seconds > 10.0)) {
        state.SkipWithError(("the widest recording took more than 1 GB or 10 s" + figures).c_str());
    }
}

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
        std::jthread writer([&file, in = ends[1]] { WriteInto(in, file); });
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

static void WideRows(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"columns", "lines"})->Args({256, 100'000})->Args({4'096, 5'000})->Args({30'000, 300})
        ->Args({300'000, 3})->Args({999'999, 3})->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
}
BENCHMARK_CAPTURE(ReadWideRecording, file, false)->Apply(WideRows);
BENCHMARK_CAPTURE(ReadWideRecording, pipe, true)->Apply(WideRows);

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
