// Recordings of many blocks, as sweeps of evoked responses are recorded, through the command line as a user runs it:
// `crestmetrics analyse` (cardiac analysis, table to /dev/null) and `crestmetrics calc` (the cardiac detector), each
// a process of its own, reading the recording, analysing it and writing the result. Recordings of 10,000 and
// 200,000 blocks of one sample, and of 10,000 sweeps of 200 samples at 10 kHz (Gaussian noise on a resting level with
// an action potential's upstroke, plateau and decay in every fifth sweep). Beside each, the same command on the same
// samples in one block. Reports the wall time (manual time), the time per block, the peak resident memory of the
// process and what it holds beyond the stored samples (peak_MB, samples_MB, beyond_samples_MB), and the peak per
// block.
#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path Program() { return fs::canonical("/proc/self/exe").parent_path() / "crestmetrics"; }

struct File {
    fs::path path;
    std::int64_t blocks = 0;
    std::int64_t samples = 0;
};

// `blocks` blocks of `length` samples, or the same samples in one block (`joined`).
const File& Recording(std::int64_t blocks, int length, bool joined)
{
    static std::map<std::tuple<std::int64_t, int, bool>, File> made;
    File& file = made[{blocks, length, joined}];
    if (!file.path.empty()) {
        return file;
    }
    file.path = fs::temp_directory_path() / ("crestmetrics_blocks_" + std::to_string(::getpid()) + "_" +
                                             std::to_string(blocks) + "_" + std::to_string(length) +
                                             (joined ? "_joined" : "") + ".txt");
    file.blocks = joined ? 1 : blocks;
    file.samples = blocks * length;
    std::mt19937 random(static_cast<std::uint32_t>(blocks * 7 + length));
    std::normal_distribution<double> noise(0.0, 0.3);
    std::ofstream out(file.path, std::ios::binary);
    out << (length > 1 ? "Time (ms)\tVm (mV)\n" : "Vm (mV)\n");
    std::string text;
    char number[32];
    std::int64_t tick = 0;
    for (std::int64_t block = 0; block < blocks; ++block) {
        const double rest = -80.0 + noise(random) * 3;
        const bool response = block % 5 == 0;
        for (int i = 0; i < length; ++i, ++tick) {
            double v = rest;
            if (response && i >= 20) {
                const int t = i - 20;
                v = t < 10 ? rest + 11.0 * t : rest + 110.0 * std::exp(-(t - 10) / 60.0);
            }
            v += noise(random);
            if (length > 1) {
                const double ms = 0.1 * static_cast<double>(joined ? tick : i);
                text.append(number, std::to_chars(number, number + sizeof number, ms, std::chars_format::fixed, 1).ptr);
                text += '\t';
            }
            text.append(number, std::to_chars(number, number + sizeof number, v, std::chars_format::fixed, 2).ptr);
            text += '\n';
        }
        if (!joined) {
            text += '\n';
        }
        if (text.size() > (1 << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
    return file;
}

struct Run {
    double seconds = 0.0;
    long long peak = 0; // bytes
};

Run RunProgram(const std::vector<std::string>& arguments)
{
    const std::string program = Program().string();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    Run run;
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        run.seconds = -1.0;
        return run;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak = static_cast<long long>(usage.ru_maxrss) * 1024;
    return run;
}

void Command(benchmark::State& state, const char* command, int length, bool joined)
{
    const File& file = Recording(state.range(0), length, joined);
    const std::vector<std::string> arguments =
        std::string(command) == "calc"
            ? std::vector<std::string>{"calc", "cappeakdet(ch1, 0.05, 2)", file.path.string(), "--quiet"}
            : std::vector<std::string>{"analyse", file.path.string(), "--quiet", "--type", "1", "-o", "/dev/null"};
    long long peak = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        const Run run = RunProgram(arguments);
        if (run.seconds < 0) {
            state.SkipWithError("the command failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        seconds += run.seconds;
        peak = std::max(peak, run.peak);
    }
    const double samples = static_cast<double>(file.samples) * sizeof(float);
    state.counters["blocks"] = static_cast<double>(file.blocks);
    state.counters["us_per_block"] =
        1e6 * seconds / static_cast<double>(state.iterations()) / static_cast<double>(state.range(0));
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["samples_MB"] = samples / 1e6;
    state.counters["beyond_samples_MB"] = (static_cast<double>(peak) - samples) / 1e6;
    state.counters["peak_bytes_per_block"] = static_cast<double>(peak) / static_cast<double>(state.range(0));
}

void RemoveFiles()
{
    const std::string prefix = "crestmetrics_blocks_" + std::to_string(::getpid()) + "_";
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        if (entry.path().filename().string().starts_with(prefix)) {
            fs::remove(entry.path());
        }
    }
}

} // namespace

static void Options(benchmark::internal::Benchmark* bench)
{
    bench->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
}

// One-sample blocks, and the same samples in one block.
BENCHMARK_CAPTURE(Command, analyse_one_sample_blocks, "analyse", 1, false)->Arg(10'000)->Arg(200'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, analyse_one_block_baseline, "analyse", 1, true)->Arg(10'000)->Arg(200'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, calc_one_sample_blocks, "calc", 1, false)->Arg(10'000)->Arg(200'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, calc_one_block_baseline, "calc", 1, true)->Arg(10'000)->Arg(200'000)->Apply(Options);
// Sweeps of 200 samples (20 ms at 10 kHz), and the same samples in one block.
BENCHMARK_CAPTURE(Command, analyse_sweeps, "analyse", 200, false)->Arg(10'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, analyse_sweeps_baseline, "analyse", 200, true)->Arg(10'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, calc_sweeps, "calc", 200, false)->Arg(10'000)->Apply(Options);
BENCHMARK_CAPTURE(Command, calc_sweeps_baseline, "calc", 200, true)->Arg(10'000)->Apply(Options);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveFiles();
    return 0;
}
